#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package that make deb left in the source folder: its files are those an
# install puts under /usr and the package's own documents, its copyright file is in the
# machine-readable format, its changelog starts at this version, and the debug-symbols
# package beside it holds the symbols of every program. Skipped (77) when there is no package.
# Usage: package_files_test.sh SOURCE_DIR EXPECTED_LIST VERSION APP_ID
set -eu
dir=$1 list=$2 version=$3 app_id=$4
set -- "$dir"/kestavo_"$version"-*_*.deb
if [ ! -f "$1" ]; then
    echo "no package kestavo_$version-*.deb in $dir: make deb builds it"
    exit 77
fi
package=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

grep -Ev '^(#|$)' "$list" | sed -e 's/^gui //' -e 's/^deb //' -e "s/@APP_ID@/$app_id/g" -e 's|^|usr/|' |
    LC_ALL=C sort >"$scratch/expected"
dpkg-deb -c "$package" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | LC_ALL=C sort >"$scratch/packaged"
diff -u "$scratch/expected" "$scratch/packaged" || fail "$(basename "$package") holds other files than $list"

dpkg-deb -x "$package" "$scratch/root"
doc=$scratch/root/usr/share/doc/kestavo
head -n 1 "$doc/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
    fail "the copyright file is not in the machine-readable format"
grep -q '^License: GPL-3+$' "$doc/copyright" || fail "the copyright file names no GPL-3+ licence"
gzip -dc "$doc/changelog.Debian.gz" | head -n 1 | grep -q "^kestavo ($version-[0-9.]*) " ||
    fail "the changelog does not start at version $version"

debug=$(echo "$package" | sed 's|/kestavo_\([^/]*\)$|/kestavo-dbgsym_\1|')
[ -f "$debug" ] || fail "no debug-symbols package $(basename "$debug")"
programs=$(grep -c '^\(gui \)\{0,1\}bin/' "$list")
symbols=$(dpkg-deb -c "$debug" | grep -c '/usr/lib/debug/\.build-id/.*\.debug$' || true)
[ "$symbols" -eq "$programs" ] || fail "$(basename "$debug") holds $symbols symbol files for $programs programs"
echo "package_files: $(wc -l <"$scratch/packaged") files packaged as expected"
