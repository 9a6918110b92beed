// The floor for start-up: the least a Qt Widgets program can do to put a
// window on screen. One QLabel, no menus, no resources, no translation.

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("振荡电路计算器"));
    label.show();
    return QApplication::exec();
}
