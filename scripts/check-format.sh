#!/bin/sh
# Fails when a C++ source file of the project is not in the layout of the
# project's .clang-format; lists those files and the command that fixes them.
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
