#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Open All on one catalog directory three ways, each run RUNS times in a
# process of its own, with the median time: reading only the text (no cache
# directory can be made), the first run (no caches yet: they are written),
# and later runs (the caches are read). Then the size of the caches per
# entry. The caches go to a directory of their own beside the build.
#   sh bench/catalog_cache.sh BUILD CATALOGS [RUNS]
set -eu
build=${1:?release build directory}
# The program counts XDG_CACHE_HOME only when it is absolute.
build=$(cd "$build" && pwd)
catalogs=${2:?catalog directory}
runs=${3:-5}
bench="$build/bench/kestavo-bench-open-all"
caches="$build/bench-caches"
cat "$catalogs"/*.kvx > /dev/null

median() {
  sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
seconds() {
  sed -n 's/^open all .* entries in \([0-9.]*\) s.*/\1/p'
}

times=""
for i in $(seq "$runs"); do
  times="$times $(XDG_CACHE_HOME=/dev/null/kestavo-bench "$bench" "$catalogs" | seconds)"
done
echo "open all, text only: median $(echo $times | tr ' ' '\n' | median) s of$times"

times=""
for i in $(seq "$runs"); do
  rm -rf "$caches"
  times="$times $(XDG_CACHE_HOME="$caches" "$bench" "$catalogs" | seconds)"
  sync
done
echo "open all, writing the caches: median $(echo $times | tr ' ' '\n' | median) s of$times"

times=""
for i in $(seq "$runs"); do
  out=$(XDG_CACHE_HOME="$caches" "$bench" "$catalogs")
  times="$times $(echo "$out" | seconds)"
done
echo "open all, reading the caches: median $(echo $times | tr ' ' '\n' | median) s of$times"
echo "$out" | tail -n 2
entries=$(echo "$out" | sed -n 's/^open all .* catalogs, \([0-9]*\) entries.*/\1/p')
bytes=$(du -sb "$caches" | cut -f1)
echo "caches: $bytes bytes, $(echo "scale=1; $bytes / $entries" | bc) bytes per entry"
