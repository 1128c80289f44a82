#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Formats each manual page with every groff warning on; any warning fails.
# Usage: man_test.sh MAN_DIR
set -eu
status=0
for page in "$1"/*.1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=all -E UTF-8 -l "$page" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        echo "FAIL: $page:" >&2
        echo "$warnings" >&2
        status=1
    fi
    # Each page names itself and has the sections a reader looks for.
    for section in NAME SYNOPSIS DESCRIPTION "SEE ALSO"; do
        grep -q "^\.SH \"*$section" "$page" || { echo "FAIL: $page has no $section" >&2; status=1; }
    done
done
exit $status
