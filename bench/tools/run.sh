#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The tools benchmark: the searches over the generated catalogs, and the
# comparison of the generated tree with its catalog (1 % of the file
# records changed) beside find -printf over the same tree, best of three.
#   run.sh BUILD                     all of it, on the generated data
#   run.sh BUILD CATALOGS [MASK...]  Find Files alone over the catalog
#       directory CATALOGS: medians of 5 Find Now for each mask (by default
#       a literal mask, *.JPG and *)
set -eu
build=${1:?release build directory}
if [ $# -ge 2 ]; then
  catalogs=$2
  shift 2
  [ $# -gt 0 ] || set -- '*_1491*' '*.JPG' '*'
  exec "$build/bench/tools/kestavo-bench-tools" --find "$catalogs" 5 "$@"
fi
data="$build/bench-data"
"$build/bench/tools/kestavo-bench-tools" --catalogs "$data/catalogs"

tree="$data/tree"
if [ ! -f "$tree/Folder 199/sub_98/file_9.txt" ]; then
  rm -rf "$tree"
  "$build/bench/media/kestavo-generate-tree" "$tree"
fi
now() { date +%s.%N; }
find "$tree" -printf '%s %T@ %p\n' > /dev/null
find_s=$(for i in 1 2 3; do
  t0=$(now); find "$tree" -printf '%s %T@ %p\n' > /dev/null; t1=$(now)
  echo "$t1 - $t0" | bc -l
done | sort -n | head -n 1)
work="$data/tools-compare"
rm -rf "$work"
compare_s=$("$build/bench/tools/kestavo-bench-tools" --compare "$tree" "$work")
"$build/bench/tools/kestavo-bench-tools" --compare-scaling "$work"
# A catalogued chain of nested folders gone from the disk: memory and time.
set -- $("$build/bench/tools/kestavo-bench-tools" --compare-gone-chain 20000 "$work")
gone20k_s=$1 gone20k_mb=$2
set -- $("$build/bench/tools/kestavo-bench-tools" --compare-gone-chain 200000 "$work")
gone200k_s=$1 gone200k_mb=$2
rm -rf "$work"
echo "compare, chain of nested folders gone from the disk: 20 000 $gone20k_s s $gone20k_mb MB (target <= 50 MB above loading), 200 000 $gone200k_s s $gone200k_mb MB, time ratio $(echo "$gone200k_s / $gone20k_s" | bc -l | cut -c1-5) (target <= 20)"
echo "compare tree with its catalog: $(printf %.3f "$compare_s") s"
echo "find -printf over the same tree: $(printf %.3f "$find_s") s"
echo "ratio compare/find: $(echo "$compare_s / $find_s" | bc -l | cut -c1-5) (target <= 1.5)"
