#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# A stand-in notification server on a private session bus, for the tests of
# the desktop notifications. Writes the bus address to the file named by its
# first argument once the server is ready (its capabilities are the other
# arguments), then takes commands on standard input, one a line:
#   stop             the server goes: no notification server runs
#   start CAPS...    a server with these capabilities runs again
# The tests read the calls and send the signals through the server's mock
# interface. The bus and the server end when the input ends.
import os
import subprocess
import sys

import dbusmock


class Bus(dbusmock.DBusTestCase):
    pass


def spawn(capabilities):
    server, _ = Bus.spawn_server_template(
        'notification_daemon', {'capabilities': ' '.join(capabilities)},
        stdout=subprocess.DEVNULL)
    return server


def main():
    Bus.start_session_bus()
    server = spawn(sys.argv[2:])
    ready = sys.argv[1] + '.part'
    with open(ready, 'w', encoding='utf-8') as out:
        out.write(os.environ['DBUS_SESSION_BUS_ADDRESS'])
    os.rename(ready, sys.argv[1])
    try:
        for line in sys.stdin:
            words = line.split()
            if not words:
                continue
            if server and words[0] in ('stop', 'start'):
                server.terminate()
                server.wait()
                server = None
            if words[0] == 'start':
                server = spawn(words[1:])
    finally:
        if server:
            server.terminate()
            server.wait()
        Bus.tearDownClass()


main()
