#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the desktop program on an X server of its own and checks that its main window's class
# (WM_CLASS) is the one its desktop entry names in StartupWMClass, or the entry's desktop id
# when it names none, so that the desktop counts the running window as that menu entry's.
# Usage: window_class_test.sh PROGRAM DESKTOP_ENTRY
set -eu
program=$1 entry=$2
for tool in Xvfb xdotool xprop; do
    command -v $tool >/dev/null 2>&1 || { echo "$tool is needed"; exit 77; }
done
scratch=$(mktemp -d)
server='' started=''
stop() {
    [ -z "$started" ] || kill "$started" 2>/dev/null || true
    [ -z "$server" ] || kill "$server" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap stop EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

expected=$(sed -n 's/^StartupWMClass=//p' "$entry")
[ -n "$expected" ] || expected=$(basename "$entry" .desktop)

Xvfb -displayfd 3 -nolisten tcp 3>"$scratch/display" 2>"$scratch/server.log" &
server=$!
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || fail "Xvfb did not start: $(cat "$scratch/server.log")"
DISPLAY=:$(cat "$scratch/display")
export DISPLAY

mkdir "$scratch/catalogs"
env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb HOME="$scratch" Kestavo="$scratch/catalogs" \
    "$program" >"$scratch/program.log" 2>&1 &
started=$!
window=''
for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --pid "$started" 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    kill -0 "$started" 2>/dev/null || fail "the program ended: $(cat "$scratch/program.log")"
    sleep 0.1
done
[ -n "$window" ] || fail "no window appeared"

# WM_CLASS(STRING) = "instance", "class"
class=$(xprop -id "$window" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = "[^"]*", "\([^"]*\)"$/\1/p')
[ "$class" = "$expected" ] ||
    fail "the window's class is '$class', the desktop entry $(basename "$entry") expects '$expected'"
echo "window_class: the window's class $class belongs to $(basename "$entry")"
