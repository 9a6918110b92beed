#include "ui/application.h"

#include "config.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// Qt's own texts (the message box's button, the line edits' context menu)
// in Chinese, where Debian's translations are installed.
void installChineseTranslation(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

} // namespace

void setUpApplication(QApplication& app) {
    // The name is the desktop's window class (StartupWMClass) and must be
    // plain ASCII; the Chinese name is the one shown. It equals the window
    // title, so Qt appends nothing to that.
    QApplication::setApplicationName(QStringLiteral(OSC_APP_NAME));
    QGuiApplication::setApplicationDisplayName(QStringLiteral(OSC_TITLE));
    QApplication::setApplicationVersion(QStringLiteral(OSC_VERSION));
    // Lets a Wayland desktop match the window to its entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(OSC_APP_ID));
    installChineseTranslation(app);
}
