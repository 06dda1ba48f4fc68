#!/usr/bin/python3
"""On a private session bus, stands in for the systemd user manager and for org.example.Owned, a D-Bus
activatable application; appends one line per call to the file named by argv[1] and prints "ready"
once both names are taken."""
import re
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
record = open(sys.argv[1], "a", buffering=1, encoding="utf-8")


class StandIn(dbus.service.Object):
    @dbus.service.method("org.freedesktop.systemd1.Manager", in_signature="ssa(sv)a(sa(sv))",
                         out_signature="o")
    def StartTransientUnit(self, name, _mode, properties, _aux):
        if not re.fullmatch(r"[\w:.\\-]{1,249}\.scope", name, re.ASCII):  # systemd's own rule
            raise ValueError(f"bad unit name {name}")
        p = {str(key): value for key, value in properties}
        record.write(f"{name} PIDs={','.join(str(pid) for pid in p['PIDs'])} Slice={p['Slice']}\n")
        return dbus.ObjectPath("/org/freedesktop/systemd1/job/1")

    @dbus.service.method("org.freedesktop.Application", in_signature="a{sv}")
    def Activate(self, platform_data):
        record.write(f"activate {self.__dbus_object_path__} {' '.join(sorted(platform_data))}\n")


names = [dbus.service.BusName(name, bus) for name in ("org.freedesktop.systemd1", "org.example.Owned")]
objects = [StandIn(bus, path) for path in ("/org/freedesktop/systemd1", "/org/example/Owned")]
print("ready", flush=True)
GLib.MainLoop().run()
