#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# A reader that opens all catalogs again and again while another process re-catalogues the
# same disk again and again must never see a damaged or half-written catalog.
# Usage: sharing_test.sh KESTAVO_CLI SECONDS
set -u
cli=$1 seconds=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export Kestavo="$scratch/catalogs"
unset KESTAVO_DRIVES

# A disk large enough that writing its catalog takes a while: 40 folders of 50 files.
disk=$scratch/disk
for folder in $(seq 1 40); do
    mkdir -p "$disk/data/folder$folder"
    for file in $(seq 1 50); do
        echo "$folder $file" >"$disk/data/folder$folder/file$file.txt"
    done
done
touch -d 2024-01-02T03:04:05 "$disk/data" "$disk"/data/*
"$cli" catalog "$disk" --label OTHER >/dev/null || exit 1
"$cli" catalog "$disk" --label SHARED >/dev/null || exit 1
# What a reader must see each time: the folder's counts and the disk's rows.
read_catalogs() {
    "$cli" properties SHARED/data && "$cli" ls SHARED/data/folder40
}
read_catalogs >"$scratch/expected" 2>"$scratch/expected.err" || exit 1
[ -s "$scratch/expected.err" ] && { cat "$scratch/expected.err" >&2; exit 1; }

end=$(($(date +%s) + seconds))
(
    writes=0
    while [ "$(date +%s)" -lt "$end" ]; do
        "$cli" catalog "$disk" --label SHARED >/dev/null || { echo "FAIL: catalog exited with $?" >&2; exit 1; }
        writes=$((writes + 1))
    done
    echo "$writes" >"$scratch/writes"
) &
writer=$!

reads=0 status=0
while [ "$(date +%s)" -lt "$end" ]; do
    if ! read_catalogs >"$scratch/seen" 2>"$scratch/seen.err"; then
        echo "FAIL: reading the catalogs failed" >&2
        status=1
    fi
    if [ -s "$scratch/seen.err" ] || ! cmp -s "$scratch/expected" "$scratch/seen"; then
        echo "FAIL: read $((reads + 1)) saw a different catalog:" >&2
        cat "$scratch/seen.err" >&2
        diff "$scratch/expected" "$scratch/seen" | head -20 >&2
        status=1
        break
    fi
    reads=$((reads + 1))
done
wait "$writer" || status=1
writes=$(cat "$scratch/writes" 2>/dev/null || echo 0)
# Both sides must have had their turns, or the test proved nothing.
if [ "$writes" -lt 2 ] || [ "$reads" -lt 2 ]; then
    echo "FAIL: too few turns ($writes catalogs written, $reads reads)" >&2
    status=1
fi
leftovers=$(find "$Kestavo" -type f ! -name '*.kvx')
[ -z "$leftovers" ] || { echo "FAIL: temporary files left: $leftovers" >&2; status=1; }
[ $status -eq 0 ] && echo "shared_catalogs: $reads reads during $writes re-catalogues, none damaged"
exit $status
