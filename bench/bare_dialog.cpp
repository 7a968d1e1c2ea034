// The floor for the tool's start-up and memory: the least a Qt Widgets
// program with the same shape has to do, a dialog with four empty tabs.

#include <QApplication>
#include <QDialog>
#include <QTabWidget>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle("kestrine-bench bare dialog");
    auto* tabs = new QTabWidget(&dialog);
    for (const char* name :
         {"  Basic  ", "  Advanced Sensor  ", "  Buttons  ", "  Button Mapping  "})
        tabs->addTab(new QWidget, name);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(tabs);
    dialog.show();
    return QApplication::exec();
}
