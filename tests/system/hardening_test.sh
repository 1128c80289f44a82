#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that programs carry the hardening of the distribution's build flags: position
# independent, stack protector, fortified libc calls, read-only relocations bound at start-up.
# Usage: hardening_test.sh PROGRAM...                  checks these programs
#        hardening_test.sh --package DIR VERSION       checks the programs of the package
#                                                      DIR/kestavo_VERSION-*.deb (make deb);
#                                                      skipped (77) when there is none
set -eu
fail=0
problem() { echo "FAIL: $1: $2" >&2; fail=1; }

check() {
    program=$1
    header=$(readelf -h "$program") || { problem "$program" "not an ELF file"; return; }
    dynamic=$(readelf -d "$program")
    symbols=$(readelf --dyn-syms -W "$program")
    echo "$header" | grep -q 'Type:[[:space:]]*DYN' || problem "$program" "not position independent"
    echo "$dynamic" | grep -q 'FLAGS_1.*PIE' || problem "$program" "not a PIE executable"
    readelf -l -W "$program" | grep -q GNU_RELRO || problem "$program" "no RELRO segment"
    echo "$dynamic" | grep -Eq '\(FLAGS\).*BIND_NOW|FLAGS_1.*NOW' || problem "$program" "not bound now"
    echo "$symbols" | grep -q ' __stack_chk_fail' || problem "$program" "no stack protector"
    # Fortified: the program calls the checking variant (__memcpy_chk) of libc functions that
    # have one and never the plain function alone; a program that calls none passes, as it
    # does for hardening-check.
    called=$(echo "$symbols" | awk '$7 == "UND" { sub(/@.*/, "", $8); print $8 }' | sort -u)
    if ! echo "$called" | grep -Ev '^__stack_chk_fail$' | grep -Eq '^__[a-z0-9_]+_chk$'; then
        plain=$(echo "$called" | grep -Fx -f "$checkable" || true)
        [ -z "$plain" ] || problem "$program" "unfortified libc calls: $(echo $plain)"
    fi
    # The distribution's own checker, where it is installed; control-flow protection is not
    # among Debian 12's default flags.
    if command -v hardening-check >/dev/null 2>&1; then
        hardening-check --quiet --nocfprotection "$program" >&2 || problem "$program" "hardening-check"
    fi
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The libc functions that have a checking variant, by their plain names.
checkable=$scratch/checkable
libc=$(cc -print-file-name=libc.so.6)
readelf --dyn-syms -W "$libc" | awk '{ sub(/@.*/, "", $8); print $8 }' |
    sed -n 's/^__\([a-z0-9_]*\)_chk$/\1/p' |
    grep -vx stack | sort -u >"$checkable"
[ -s "$checkable" ] || { echo "FAIL: cannot read libc's checked functions" >&2; exit 1; }

if [ "${1:-}" = --package ]; then
    dir=$2 version=$3
    set -- "$dir"/kestavo_"$version"-*_*.deb
    if [ ! -f "$1" ]; then
        echo "no package kestavo_$version-*.deb in $dir: make deb builds it"
        exit 77
    fi
    dpkg-deb -x "$1" "$scratch/package"
    set -- "$scratch"/package/usr/bin/*
fi
[ $# -gt 0 ] || { echo "FAIL: no program to check" >&2; exit 1; }
for program in "$@"; do
    check "$program"
done
[ $fail -eq 0 ] || exit 1
echo "hardening: $# programs hardened"
