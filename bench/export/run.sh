#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The SQLite export of the generated catalogs (5 M entries) against Open All.
set -eu
build=${1:?release build directory}
data="$build/bench-data"
"$build/bench/export/kestavo-bench-export" "$data/catalogs" "$data/export.db"
rm -f "$data/export.db"
