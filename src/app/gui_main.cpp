#include "app/window_program.h"
#include "platform/raise_channel.h"

// The window program that kestrine-config starts when it is given no command.
int main(int argc, char** argv) {
    RaiseOpenFileLimit();
    CUpdaterApp app;
    return app.Run(argc, argv);
}
