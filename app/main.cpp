#include "ui/application.h"
#include "ui/form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    setUpApplication(app);

    Form1 form1;
    form1.show();
    return QApplication::exec();
}
