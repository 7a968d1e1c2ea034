#include <QApplication>
#include <QIcon>

#include "app/updater_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("kestrine-config");
    QApplication::setApplicationVersion("1.07");
    QApplication::setDesktopFileName("kestrine-config");
    QApplication::setWindowIcon(QIcon(":/kestrine-config.svg"));
    CUpdaterApp app;
    return app.Run();
}
