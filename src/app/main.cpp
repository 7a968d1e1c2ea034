#include <QApplication>

#include "app/updater_dlg.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    CUpdaterDlg dialog;
    dialog.Initialise();
    return dialog.exec() == 0 ? 0 : 0;
}
