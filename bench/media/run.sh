#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The scanner benchmark: scanning the generated tree against
# find -printf over it, and the ZIP listing against zipinfo over the same
# archives, each run three times from a warm cache; best wall times.
set -eu
build=${1:?release build directory}
data="$build/bench-data"
tree="$data/tree"
if [ ! -f "$tree/Folder 199/sub_98/file_9.txt" ]; then
  rm -rf "$tree"
  "$build/bench/media/kestavo-generate-tree" "$tree"
fi
find "$tree" -name '*.zip' | sort > "$data/zips.txt"
[ -f "$data/big.zip" ] || "$build/bench/media/kestavo-generate-tree" --big-archive "$data/big.zip"

now() { date +%s.%N; }
best() { sort -n | head -n 1; }
# Wall seconds of a shell command, best of three after one warm-up run.
timed() {
  sh -c "$1" > /dev/null 2>&1
  for i in 1 2 3; do
    t0=$(now); sh -c "$1" > /dev/null 2>&1; t1=$(now)
    echo "$t1 - $t0" | bc -l
  done | best
}

find_s=$(timed "find '$tree' -printf '%s %T@ %p\n'")
scan_s=$(timed "'$build/bench/media/kestavo-bench-scan' --tree '$tree'")
zipinfo_s=$(timed "while read -r z; do zipinfo \"\$z\"; done < '$data/zips.txt'")
zips_s=$(timed "'$build/bench/media/kestavo-bench-scan' --zips < '$data/zips.txt'")
bigzipinfo_s=$(timed "zipinfo '$data/big.zip'")
big_s=$(timed "echo '$data/big.zip' | '$build/bench/media/kestavo-bench-scan' --zips")

echo "scan tree (200000 files, 20000 folders, 200 ZIPs): $(printf %.3f "$scan_s") s"
echo "find -printf over the same tree:                  $(printf %.3f "$find_s") s"
echo "ratio scan/find:                                   $(echo "$scan_s / $find_s" | bc -l | cut -c1-5) (target <= 1.3)"
echo "list 200 ZIPs (100000 members):                    $(printf %.3f "$zips_s") s"
echo "zipinfo over the same archives:                    $(printf %.3f "$zipinfo_s") s"
echo "ratio list/zipinfo:                                $(echo "$zips_s / $zipinfo_s" | bc -l | cut -c1-5) (target <= 1)"
echo "list one ZIP64 archive of 100000 members:        $(printf %.3f "$big_s") s"
echo "zipinfo over it:                                   $(printf %.3f "$bigzipinfo_s") s"
echo "peak memory, whole tree:  $("$build/bench/media/kestavo-bench-scan" --tree "$tree")"
echo "peak memory, one folder:  $("$build/bench/media/kestavo-bench-scan" --tree "$tree/Folder 0")"
python3 "$(dirname "$0")/scaling.py" "$build"
if command -v 7z > /dev/null && command -v bsdtar > /dev/null && command -v genisoimage > /dev/null; then
  sh "$(dirname "$0")/archives_run.sh" "$build"
fi
