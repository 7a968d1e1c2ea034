#!/usr/bin/python3
"""A stand-in for the desktop's notification service on a private session bus.

Owns org.freedesktop.Notifications (through GDBus) and appends one JSON line
per Notify call to the file given as its argument, as the call arrives: the
app name, replaces_id, icon, summary, hints, timeout, the id it answers and
its own unique name on the bus. Prints "ready" once the name is owned.

With --never-answer it takes each Notify call and never answers it, as a hung
desktop does.
"""
import json
import sys

from gi.repository import Gio, GLib

NAME = "org.freedesktop.Notifications"
INTERFACE = """
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="out"/>
    </method>
    <method name="GetCapabilities"><arg type="as" direction="out"/></method>
    <method name="GetServerInformation">
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
    </method>
  </interface>
</node>
"""


class Server:
    def __init__(self, log, answer):
        self.log = log
        self.answer = answer
        self.next_id = 1
        self.unanswered = []  # kept, so that nothing answers them on its own
        self.unique_name = ""

    def call(self, connection, sender, path, interface, method, parameters, invocation):
        if method == "Notify":
            app, replaces, icon, summary, body, _actions, hints, timeout = parameters.unpack()
            answer = replaces or self.next_id
            if not replaces:
                self.next_id += 1
            record = {"app": app, "replaces": replaces, "icon": icon, "summary": summary,
                      "body": body, "hints": hints, "timeout": timeout, "id": answer,
                      "service": self.unique_name}
            with open(self.log, "a", encoding="utf-8") as out:
                out.write(json.dumps(record, ensure_ascii=False) + "\n")
            if self.answer:
                invocation.return_value(GLib.Variant("(u)", (answer,)))
            else:
                self.unanswered.append(invocation)
        elif method == "GetCapabilities":
            invocation.return_value(GLib.Variant("(as)", (["body"],)))
        else:
            invocation.return_value(GLib.Variant("(ssss)", ("fake", "tests", "1", "1.2")))


def main():
    arguments = sys.argv[1:]
    answer = "--never-answer" not in arguments
    log = [a for a in arguments if not a.startswith("--")][0]
    server = Server(log, answer)
    info = Gio.DBusNodeInfo.new_for_xml(INTERFACE).interfaces[0]
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    server.unique_name = bus.get_unique_name()
    bus.register_object("/org/freedesktop/Notifications", info, server.call, None, None)
    Gio.bus_own_name_on_connection(bus, NAME, Gio.BusNameOwnerFlags.NONE,
                                   lambda *_: print("ready", flush=True), None)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
