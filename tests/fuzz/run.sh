#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every fuzz target of a fuzz build for the given number of seconds
# each, starting from the seed corpus kept beside the targets. Set
# FUZZ_TARGET to run one target only. Findings land in fuzz-corpus/.
set -eu
build_dir=${1:?build directory}
seconds=${2:-600}
here=$(cd "$(dirname "$0")" && pwd)
work=$(pwd)/fuzz-corpus

for target in $(find "$build_dir/tests/fuzz" -type f -name 'fuzz_*' -perm -u+x | sort); do
  name=$(basename "$target")
  if [ -n "${FUZZ_TARGET:-}" ] && [ "$FUZZ_TARGET" != "$name" ]; then continue; fi
  corpus="$work/$name"
  mkdir -p "$corpus" "$work/crashes"
  seeds=$(find "$here" -type d -path "*/corpus/$name" | head -n 1)
  [ -n "$seeds" ] && cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix="$work/crashes/$name-" -print_final_stats=1 "$corpus"
done
