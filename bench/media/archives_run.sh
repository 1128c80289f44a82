#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The archive benchmark: 7-Zip, ISO 9660 and compressed tar archives of
# 50 000 members listed by the scanner's lister against bsdtar -tf over
# the same files, and the peak memory of a scan of a tree holding 200 mixed
# archives against the same scan reading ZIP archives only. Each time is
# the best of three runs from a warm cache.
set -eu
build=$(cd "${1:?release build directory}" && pwd)
data="$build/bench-data/archives"
bench="$build/bench/media/kestavo-bench-scan"
mkdir -p "$data"

# 50 000 small members in 500 folders.
members="$data/members"
if [ ! -f "$members/d499/f49999" ]; then
  rm -rf "$members"
  mkdir -p "$members"
  i=0
  while [ $i -lt 500 ]; do mkdir "$members/d$i"; i=$((i + 1)); done
  python3 - "$members" <<'PY'
import os, sys
root = sys.argv[1]
for i in range(50000):
    with open(os.path.join(root, "d%d" % (i % 500), "f%d" % i), "w") as f:
        f.write("x" * (i % 97))
PY
fi
[ -f "$data/big.7z" ] || (cd "$members" && 7z a -bd -y -mx=1 "$data/big.7z" . > /dev/null)
[ -f "$data/big.iso" ] || genisoimage -quiet -R -J -o "$data/big.iso" "$members"
[ -f "$data/big.tar.gz" ] || tar -czf "$data/big.tar.gz" -C "$members" .

# 200 mixed archives of 250 members each, in 20 folders beside plain files.
tree="$data/tree"
if [ ! -f "$tree/t19/a199.iso" ]; then
  rm -rf "$tree"
  small="$data/small"
  rm -rf "$small" && mkdir -p "$small"
  cp -r "$members/d0" "$members/d1" "$small/"
  (cd "$small" && 7z a -bd -y -mx=1 "$data/small.7z" . > /dev/null)
  tar -czf "$data/small.tar.gz" -C "$small" .
  genisoimage -quiet -R -o "$data/small.iso" "$small"
  i=0
  while [ $i -lt 200 ]; do
    dir="$tree/t$((i / 10))"
    mkdir -p "$dir"
    case $((i % 3)) in
      0) cp "$data/small.7z" "$dir/a$i.7z" ;;
      1) cp "$data/small.tar.gz" "$dir/a$i.tar.gz" ;;
      2) cp "$data/small.iso" "$dir/a$i.iso" ;;
    esac
    i=$((i + 1))
  done
  cp "$data/small.iso" "$tree/t19/a199.iso"
fi

now() { date +%s.%N; }
best() { sort -n | head -n 1; }
timed() {
  sh -c "$1" > /dev/null 2>&1
  for i in 1 2 3; do
    t0=$(now); sh -c "$1" > /dev/null 2>&1; t1=$(now)
    echo "$t1 - $t0" | bc -l
  done | best
}
ratio() { echo "$1 / $2" | bc -l | cut -c1-5; }

for f in big.7z big.iso; do
  ours=$(timed "echo '$data/$f' | '$bench' --archives")
  theirs=$(timed "bsdtar -tf '$data/$f'")
  echo "list $f (50000 members): $(printf %.3f "$ours") s, bsdtar -tf $(printf %.3f "$theirs") s, ratio $(ratio "$ours" "$theirs") (target <= 1.2)"
done
ours=$(timed "echo '$data/big.tar.gz' | '$bench' --archives")
theirs=$(timed "bsdtar -tzf '$data/big.tar.gz'")
echo "list big.tar.gz (50000 members): $(printf %.3f "$ours") s, bsdtar -tzf $(printf %.3f "$theirs") s, ratio $(ratio "$ours" "$theirs") (target <= 1.1)"
echo "peak memory, 200 mixed archives listed: $("$bench" --tree "$tree")"
echo "peak memory, ZIP archives only:         $("$bench" --tree-zip-only "$tree")"
