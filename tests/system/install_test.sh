#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary DESTDIR, compares the installed files with the expected
# list and runs the installed kestavo-cli from another directory.
# Usage: install_test.sh BUILD_DIR EXPECTED_LIST VERSION GUI(ON|OFF) APP_ID
set -eu
build=$1 list=$2 version=$3 gui=$4 app_id=$5
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$scratch/root cmake --install "$build" --prefix /opt/kestavo >"$scratch/log" 2>&1 ||
    { cat "$scratch/log" >&2; fail "cmake --install"; }
[ -d "$scratch/root/opt/kestavo" ] || fail "nothing installed under DESTDIR"

case $gui in ON | on | 1 | TRUE | true) desktop='gui ' ;; *) desktop='no desktop program' ;; esac
grep -Ev '^(#|$|deb )' "$list" | sed -n -e "s/^$desktop//" -e '/^gui /!p' | sed "s/@APP_ID@/$app_id/g" |
    LC_ALL=C sort >"$scratch/expected"
(cd "$scratch/root/opt/kestavo" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort) >"$scratch/installed"
diff -u "$scratch/expected" "$scratch/installed" || fail "installed files differ from $list"

# Only the prefix may be written: no file lands outside DESTDIR's prefix.
extra=$(cd "$scratch/root" && find . ! -type d | grep -v '^\./opt/kestavo/' || true)
[ -z "$extra" ] || fail "files outside the prefix: $extra"

out=$(cd / && env -u Kestavo "$scratch/root/opt/kestavo/bin/kestavo-cli" --version) ||
    fail "installed kestavo-cli --version exited with $?"
[ "$out" = "kestavo-cli $version" ] || fail "installed kestavo-cli --version printed '$out'"
for page in "$scratch/root/opt/kestavo/share/man/man1/"*.gz; do
    gzip -t "$page" || fail "$page is not a gzip file"
done
echo "install_tree: $(wc -l <"$scratch/installed") files installed as expected"
