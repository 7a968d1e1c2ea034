// Tells the kestrine-config agent which window is in front, so that it can
// put the matching rule's profile on the mouse. The agent loads this script
// through KWin's scripting D-Bus interface and listens on the session bus.
// Every value goes as a string: KWin would send a JavaScript number as a
// double, whatever the agent expects.
const service = "io.github.kestrine.config.ActiveWindow";
const path = "/io/github/kestrine/config/ActiveWindow";
const iface = "io.github.kestrine.config.ActiveWindow";

function report(window) {
    if (!window) {
        callDBus(service, path, iface, "Activated", "", "", "", "");
        return;
    }
    callDBus(service, path, iface, "Activated", String(window.resourceClass || ""),
             String(window.resourceName || ""), String(window.pid || ""),
             String(window.caption || ""));
}

if (workspace.windowActivated !== undefined) {
    // KWin 6
    workspace.windowActivated.connect(report);
    report(workspace.activeWindow);
} else {
    // KWin 5.27
    workspace.clientActivated.connect(report);
    report(workspace.activeClient);
}
