// A Wayland window whose app id is the first argument, for the runs on KWin,
// where foot cannot start (it divides by the virtual output's size, 0 mm).
// Qt's Wayland platform sends the desktop file name as the app id.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        return 2;
    }
    QGuiApplication::setDesktopFileName(QString::fromLocal8Bit(argv[1]));
    QWidget window;
    window.setWindowTitle(QString::fromLocal8Bit(argv[1]));
    window.resize(320, 200);
    window.show();
    return application.exec();
}
