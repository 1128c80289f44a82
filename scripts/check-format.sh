#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a C++ source file of the project is not in the layout of the
# project's .clang-format, or when a source file (C++, CMake, shell, Python,
# Makefile) does not carry the licence line at its top; lists those files and
# what fixes them.
set -eu
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null 2>&1; then
  echo "clang-format is missing: run  sh scripts/install-deps.sh" >&2
  exit 1
fi
bad=$(find src tests bench res -type f \( -name '*.cpp' -o -name '*.h' \) | sort | while read -r file; do
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || echo "$file"
done)
if [ -n "$bad" ]; then
  echo "Not in the project's layout:" >&2
  echo "$bad" | sed 's/^/  /' >&2
  echo "Fix with:  clang-format -i FILE..." >&2
  exit 1
fi
echo "Every C++ source file is in the project's layout."

# The licence line is the first line, or the second after a "#!" line.
licence='SPDX-License-Identifier: GPL-3.0-or-later'
unlicensed=$({
  find src tests bench res scripts cmake .ci debian \
    \( -path tests/data -o -path debian/kestavo -o -path debian/.debhelper \) -prune -o -type f \
    \( -name '*.cpp' -o -name '*.h' -o -name '*.h.in' -o -name '*.cmake' -o -name CMakeLists.txt \
       -o -name '*.sh' -o -name '*.bash' -o -name '*.py' -o -path .ci/run -o -path debian/rules \) -print
  echo CMakeLists.txt
  echo Makefile
} | sort | while read -r file; do
  case $file in
    *.cpp | *.h | *.h.in) comment='//' ;;
    *) comment='#' ;;
  esac
  head -n 2 "$file" | sed '1{/^#!/d}' | head -n 1 | grep -qxF "$comment $licence" || echo "$file"
done)
if [ -n "$unlicensed" ]; then
  echo "Without the line \"// $licence\" (C++) or \"# $licence\" at the top" \
    "(after a #! line):" >&2
  echo "$unlicensed" | sed 's/^/  /' >&2
  exit 1
fi
echo "Every source file carries the licence line."
