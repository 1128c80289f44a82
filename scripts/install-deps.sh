#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build needs, when any is missing; with the argument "deb",
# also those that build the Debian package and check it.
set -eu

packages="g++ make cmake ninja-build pkg-config qt6-base-dev libzip-dev libblkid-dev
libgtest-dev libgmock-dev libbenchmark-dev clang clang-format libclang-rt-14-dev zip unzip
xvfb xauth tzdata libsystemd-dev e2fsprogs dosfstools libx11-dev xdotool x11-utils
desktop-file-utils appstream man-db groff-base dpkg-dev file
libsqlite3-dev sqlite3 libuchardet-dev python3-pyatspi at-spi2-core dbus
libarchive-dev libarchive-tools p7zip-full genisoimage gcab zstd
xdg-utils shared-mime-info libfile-mimeinfo-perl python3-dbusmock"
if [ "${1:-}" = deb ]; then
    packages="$packages debhelper lintian"
fi

missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
  sudo=""
elif command -v sudo >/dev/null 2>&1; then
  sudo="sudo"
else
  echo "Missing packages:$missing (run as root, or install sudo)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing
