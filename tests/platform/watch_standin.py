#!/usr/bin/python3
"""Stands in for what an entry can wait for: a StatusNotifierWatcher on the session bus, and
NetworkManager and systemd-networkd on the system bus. Point DBUS_SESSION_BUS_ADDRESS and
DBUS_SYSTEM_BUS_ADDRESS at private buses first.

    watch_standin.py [NAME=VALUE ...]

NAME is tray (a StatusNotifierHost is registered: 1 or 0), nm (NetworkManager's State: 70
connected, 20 disconnected, 0 unknown ...) or networkd (systemd-networkd's OnlineState: online,
degraded ...). Each NAME given takes its bus name, then "ready" is printed. Every word read from
standard input is one more NAME=VALUE: the value is set and the signals the real service sends go
out (the bus name is taken first when it is not owned); VALUE "-" gives the bus name up. Each word
is answered with "NAME=VALUE <CLOCK_MONOTONIC seconds>" once its signals have left.
"""
import os
import sys
import time

import dbus
import dbus.lowlevel
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PROPS, SNW, NM = "org.freedesktop.DBus.Properties", "org.kde.StatusNotifierWatcher", "org.freedesktop.NetworkManager"
SERVICES = {  # NAME: bus, bus name, object path, interface, property, the value's D-Bus type
    "tray": (dbus.SessionBus, SNW, "/StatusNotifierWatcher", SNW, "IsStatusNotifierHostRegistered",
             lambda text: dbus.Boolean(text == "1")),
    "nm": (dbus.SystemBus, NM, "/org/freedesktop/NetworkManager", NM, "State", lambda text: dbus.UInt32(int(text))),
    "networkd": (dbus.SystemBus, "org.freedesktop.network1", "/org/freedesktop/network1",
                 "org.freedesktop.network1.Manager", "OnlineState", dbus.String),
}


class Service(dbus.service.Object):
    def __init__(self, kind):
        self.kind, self.owned = kind, None
        bus, self.bus_name, path, self.interface, self.prop, self.convert = SERVICES[kind]
        super().__init__(bus(), path)

    def set(self, text):
        if text == "-":
            self.owned = None  # BusName releases the name as it goes
            return
        self.value = self.convert(text)
        self.owned = self.owned or dbus.service.BusName(self.bus_name, self.connection)
        if self.kind == "tray":  # as real watchers do: no PropertiesChanged
            registered = "StatusNotifierHostRegistered" if self.value else "StatusNotifierHostUnregistered"
            self.emit(SNW, registered, "")
        else:
            if self.kind == "nm":
                self.emit(NM, "StateChanged", "u", self.value)
            self.emit(PROPS, "PropertiesChanged", "sa{sv}as", self.interface, {self.prop: self.value}, [])
        self.connection.flush()

    def emit(self, interface, member, signature, *args):
        message = dbus.lowlevel.SignalMessage(self.__dbus_object_path__, interface, member)
        message.append(*args, signature=signature)
        self.connection.send_message(message)

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, _interface, _prop):
        return self.value


services = {}


def apply(word):
    kind, _, value = word.partition("=")
    if kind not in services:
        services[kind] = Service(kind)
    services[kind].set(value)


def on_input(fd, _condition):
    data = os.read(fd, 4096)
    for word in data.decode().split():
        apply(word)
        print(word, f"{time.monotonic():.6f}", flush=True)
    return bool(data)  # at the end of the input the services stay as they are


DBusGMainLoop(set_as_default=True)
for argument in sys.argv[1:]:
    apply(argument)
print("ready", flush=True)
GLib.io_add_watch(0, GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP, on_input)
GLib.MainLoop().run()
