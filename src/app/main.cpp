#include "app/updater_app.h"

int main(int argc, char** argv) {
    CUpdaterApp app;
    return app.Run(argc, argv);
}
