#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary DESTDIR and checks, with the desktop's own tools and only
# the installed data dirs, that a catalog is taken for application/x-kestavo-catalog (by its
# .kvx name and, without it, by its first bytes), that other text is not, and that the
# installed desktop entry opens that type with %F.
# Usage: mime_test.sh BUILD_DIR CATALOG APP_ID
set -eu
build=$1 catalog=$2 app_id=$3
for tool in xdg-mime mimetype update-mime-database; do
    command -v $tool >/dev/null 2>&1 || { echo "$tool is needed"; exit 77; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$scratch/root cmake --install "$build" --prefix /usr >"$scratch/log" 2>&1 ||
    { cat "$scratch/log" >&2; fail "cmake --install"; }
share=$scratch/root/usr/share
[ -f "$share/mime/packages/kestavo.xml" ] || fail "no share/mime/packages/kestavo.xml installed"
XDG_DATA_DIRS="$share" update-mime-database "$share/mime" || fail "update-mime-database refused the file type"

# Only the installed data, never the machine's own: a plain desktop, no user data dirs.
query() {
    env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID \
        XDG_DATA_DIRS="$share" XDG_DATA_HOME="$scratch/home-data" HOME="$scratch" \
        xdg-mime query filetype "$1"
}
cp "$catalog" "$scratch/DISK.kvx"
cp "$catalog" "$scratch/catalog-without-suffix"
printf 'just some text\r\n' >"$scratch/notes.txt"
type=$(query "$scratch/DISK.kvx")
[ "$type" = application/x-kestavo-catalog ] || fail "DISK.kvx is taken for '$type'"
type=$(query "$scratch/catalog-without-suffix")
[ "$type" = application/x-kestavo-catalog ] || fail "a catalog without .kvx is taken for '$type'"
type=$(query "$scratch/notes.txt")
[ "$type" != application/x-kestavo-catalog ] || fail "plain text is taken for a catalog"

entry=$share/applications/$app_id.desktop
grep -qx 'MimeType=application/x-kestavo-catalog;' "$entry" || fail "$app_id.desktop names no MimeType"
grep -qx 'Exec=kestavo %F' "$entry" || fail "$app_id.desktop does not pass the files (%F)"
echo "mime_type: catalogs are application/x-kestavo-catalog, opened by $app_id.desktop"
