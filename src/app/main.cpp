#include <QApplication>

#include "app/updater_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("kestrine-config");
    QApplication::setApplicationVersion("1.07");
    QApplication::setDesktopFileName("kestrine-config");
    CUpdaterApp app;
    return app.Run();
}
