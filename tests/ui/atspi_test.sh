#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the accessibility test under a virtual display and a session bus with
# the accessibility bus, where a screen reader would ask. Skips (77) where
# Xvfb, dbus-run-session, the bus launcher or Python's pyatspi are missing.
set -u
test_program=$1
script=$2
launcher=/usr/libexec/at-spi-bus-launcher
for tool in xvfb-run dbus-run-session; do
  command -v "$tool" >/dev/null 2>&1 || { echo "skipped: no $tool"; exit 77; }
done
[ -x "$launcher" ] || { echo "skipped: no $launcher"; exit 77; }
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: no pyatspi"; exit 77; }

export KESTAVO_ATSPI_SCRIPT="$script" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
exec xvfb-run -a -s "-screen 0 1400x900x24" dbus-run-session -- sh -c '
  "$0" --launch-immediately >/dev/null 2>&1 &
  launcher=$!
  "$1" assistiveTechnologyFindsNoUnnamedControl
  status=$?
  kill "$launcher" 2>/dev/null
  exit $status' "$launcher" "$test_program"
