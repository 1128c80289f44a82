#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the benchmarks of an optimised build. The generated data is kept in
# BUILD/bench-data and made again only when missing.
set -eu
build=${1:?release build directory}
# The program counts XDG_CACHE_HOME only when it is absolute.
build=$(cd "$build" && pwd)
data="$build/bench-data"
mkdir -p "$data"
# The catalog caches of the benchmarks stay beside the build, never in the user's.
XDG_CACHE_HOME="$build/bench-caches"
export XDG_CACHE_HOME
if [ ! -f "$data/catalogs/DISK199.kvx" ]; then
  "$build/bench/kestavo-generate-catalogs" "$data/catalogs"
fi
# Read the files once so that every run starts from a warm cache.
cat "$data"/catalogs/*.kvx > /dev/null
"$build/bench/kestavo-bench-open-all" "$data/catalogs" "$data/catalogs-wide/WIDE.kvx"
sh "$(dirname "$0")/catalog_cache.sh" "$build" "$data/catalogs" 5
"$build/bench/kestavo-bench-scaling" "$data/scaling"
# The window against the command line on the same directory.
if [ -x "$build/bench/kestavo-bench-ui" ]; then
  "$build/bench/kestavo-bench-ui" "$data/catalogs"
  start=$(date +%s.%N)
  Kestavo="$data/catalogs" /usr/bin/env "$build/src/cli/kestavo-cli" ls > /dev/null
  end=$(date +%s.%N)
  echo "kestavo-cli ls: $(echo "$end - $start" | bc) s"
fi
if [ -x "$build/bench/kestavo-bench-ui-tools" ]; then
  tree="$data/tree"
  if [ ! -f "$tree/Folder 199/sub_98/file_9.txt" ]; then
    rm -rf "$tree"
    "$build/bench/media/kestavo-generate-tree" "$tree"
  fi
  "$build/bench/kestavo-bench-ui-tools" "$data/catalogs" "$tree"
fi
for script in "$(dirname "$0")"/*/run.sh; do
  [ -f "$script" ] && sh "$script" "$build"
done
exit 0
