#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package and its debug symbols with dpkg-buildpackage in a copy of the
# source tree under OUT_DIR, so that the packages, the .changes and the .buildinfo land in
# OUT_DIR rather than in the folder above the tree; copies the packages here and, where lintian
# is installed, checks them and the .changes with it.
# Usage: build-deb.sh OUT_DIR JOBS
set -eu
cd "$(dirname "$0")/.."
out=$1 jobs=$2
version=$(dpkg-parsechangelog -S Version)
tree=$out/kestavo-${version%-*}
rm -rf "$out"
mkdir -p "$tree"

# The tree as it is now: tracked and new files, without builds or ignored files.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files --cached --others --exclude-standard | while read -r file; do
        [ -e "$file" ] && printf '%s\n' "$file"
    done | tar -cf - -T - | tar -C "$tree" -xf -
else
    tar -cf - --exclude="./$out" --exclude='./build*' --exclude='./obj-*' --exclude='./kestavo*.deb' . |
        tar -C "$tree" -xf -
fi

(cd "$tree" && dpkg-buildpackage -us -uc -b -J"$jobs")
rm -f kestavo_*.deb kestavo-dbgsym_*.deb
cp "$out"/kestavo_*.deb "$out"/kestavo-dbgsym_*.deb .

if command -v lintian >/dev/null 2>&1; then
    lintian --pedantic --display-info --fail-on error,warning "$out"/kestavo_*.changes
else
    echo "lintian is not installed: the packages were not checked"
fi
ls kestavo_*.deb kestavo-dbgsym_*.deb
