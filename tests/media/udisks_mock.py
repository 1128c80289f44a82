#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# A stand-in UDisks2 service on a private system bus, for the tests of the
# mount watch. Writes the bus address to the file named by its argument once
# the service is ready, then takes commands on standard input, one a line:
#   unmount OBJECT   an unmount job naming the block object OBJECT begins
#   mounted OBJECT   the mount points of OBJECT's file system changed
#   added OBJECT     a block object with a file system appears
# The bus and the service end when the input ends.
import os
import subprocess
import sys

import dbus
import dbusmock

NAME = 'org.freedesktop.UDisks2'
ROOT = '/org/freedesktop/UDisks2'
MANAGER = 'org.freedesktop.DBus.ObjectManager'
BLOCK = ROOT + '/block_devices/kvtest1'


class Bus(dbusmock.DBusTestCase):
    pass


def emit_unmount_job(manager, number, obj):
    job = dbus.Dictionary({'Operation': dbus.String('filesystem-unmount', variant_level=1),
                           'Objects': dbus.Array([dbus.ObjectPath(obj)], signature='o',
                                                 variant_level=1)}, signature='sv')
    manager.EmitSignal(MANAGER, 'InterfacesAdded', 'oa{sa{sv}}',
                       [dbus.ObjectPath(f'{ROOT}/jobs/{number}'),
                        dbus.Dictionary({'org.freedesktop.UDisks2.Job': job}, signature='sa{sv}')])


def emit_mounted(bus, obj):
    target = dbus.Interface(bus.get_object(NAME, obj), dbusmock.MOCK_IFACE)
    points = dbus.Array([dbus.ByteArray(b'/media/kvtest\0')], signature='ay')
    target.EmitSignal('org.freedesktop.DBus.Properties', 'PropertiesChanged', 'sa{sv}as',
                      ['org.freedesktop.UDisks2.Filesystem', {'MountPoints': points},
                       dbus.Array([], signature='s')])


def emit_added(manager, obj):
    manager.EmitSignal(MANAGER, 'InterfacesAdded', 'oa{sa{sv}}',
                       [dbus.ObjectPath(obj),
                        {'org.freedesktop.UDisks2.Filesystem':
                         {'MountPoints': dbus.Array([], signature='ay')}}])


def main():
    Bus.start_system_bus()
    server = Bus.spawn_server(NAME, ROOT, MANAGER, system_bus=True,
                              stdout=subprocess.DEVNULL)
    bus = Bus.get_dbus(system_bus=True)
    manager = dbus.Interface(bus.get_object(NAME, ROOT), dbusmock.MOCK_IFACE)
    manager.AddObject(BLOCK, 'org.freedesktop.UDisks2.Block',
                      {'Device': dbus.ByteArray(b'/dev/kvtest1\0')}, [])
    ready = sys.argv[1] + '.part'
    with open(ready, 'w', encoding='utf-8') as out:
        out.write(os.environ['DBUS_SYSTEM_BUS_ADDRESS'])
    os.rename(ready, sys.argv[1])
    jobs = 0
    try:
        for line in sys.stdin:
            word, _, obj = line.strip().partition(' ')
            if word == 'unmount':
                jobs += 1
                emit_unmount_job(manager, jobs, obj)
            elif word == 'mounted':
                emit_mounted(bus, obj)
            elif word == 'added':
                emit_added(manager, obj)
    finally:
        server.terminate()
        server.wait()
        Bus.tearDownClass()


main()
