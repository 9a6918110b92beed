#include "ui/deferrediconstyle.h"
#include "ui/form1.h"
#include "ui/translation.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setStyle(new DeferredIconStyle);
    // The name is the desktop's window class (StartupWMClass) and must be
    // plain ASCII; the Chinese name is the one shown. It equals the window
    // title, so Qt appends nothing to that.
    QApplication::setApplicationName(QStringLiteral("oscillator-calculator"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("振荡电路计算器"));
    QApplication::setApplicationVersion(QStringLiteral(OSC_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(OSC_APP_ID));
    installChineseTranslation(app);

    Form1 form1;
    form1.show();
    return QApplication::exec();
}
