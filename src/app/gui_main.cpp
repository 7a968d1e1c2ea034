#include "app/updater_app.h"

// The window program that kestrine-config starts when it is given no command.
int main(int argc, char** argv) {
    CUpdaterApp app;
    return app.Run(argc, argv);
}
