#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Scaling cases of the scanner, each at a size and ten times that size:
ZIP members dated after 2035, files dated after 2035, a deep folder tree
catalogued under a low open-file limit, and a small archive of very deep
member paths. Prints the wall time of kestavo-bench-scan for each."""
import os
import resource
import subprocess
import sys
import time
import zipfile

AFTER_2035 = 2208988800  # 2040-01-01 UTC


def zip_members(root, count):
    os.makedirs(root)
    with zipfile.ZipFile(os.path.join(root, "late.zip"), "w") as z:
        for i in range(count):
            z.writestr(zipfile.ZipInfo(f"d{i % 50}/m{i}.txt", (2040, 1, 1, 0, 0, 0)), "")


def late_files(root, count):
    os.makedirs(root)
    for i in range(count):
        path = os.path.join(root, f"f{i}")
        open(path, "w").close()
        os.utime(path, (AFTER_2035, AFTER_2035))


def deep_tree(root, depth):
    os.makedirs(root)
    fd = os.open(root, os.O_RDONLY)
    for _ in range(depth):
        os.mkdir("d", dir_fd=fd)
        inner = os.open("d", os.O_RDONLY, dir_fd=fd)
        os.close(fd)
        fd = inner
    os.close(os.open("bottom.txt", os.O_WRONLY | os.O_CREAT, dir_fd=fd))
    os.close(fd)


def deep_zip(root, depth):
    os.makedirs(root)
    with zipfile.ZipFile(os.path.join(root, "deep.zip"), "w") as z:
        for i in range(20):
            z.writestr(f"m{i}/" + "a/" * depth + "leaf.txt", "")


def low_file_limit():
    resource.setrlimit(resource.RLIMIT_NOFILE, (1024, 1024))


def timed(scanner, root, limit=False):
    start = time.monotonic()
    run = subprocess.run([scanner, "--tree", root], capture_output=True, text=True,
                         preexec_fn=low_file_limit if limit else None)
    seconds = time.monotonic() - start
    return seconds, run.stdout.strip() or run.stderr.strip()


def main():
    build, data = sys.argv[1], os.path.join(sys.argv[1], "bench-data", "scaling")
    scanner = os.path.join(build, "bench", "media", "kestavo-bench-scan")
    subprocess.run(["rm", "-rf", data], check=False)  # deeper than rmtree recurses
    cases = [("ZIP members dated 2040", zip_members, 3000, 30000, False),
             ("files dated 2040", late_files, 6000, 60000, False),
             ("folder levels, ulimit -n 1024", deep_tree, 110, 1100, True),
             ("20 ZIP members this deep", deep_zip, 3000, 30000, False)]
    for title, make, small, large, limit in cases:
        times = []
        for size in (small, large):
            root = os.path.join(data, f"{make.__name__}-{size}")
            make(root, size)
            seconds, out = timed(scanner, root, limit)
            times.append(seconds)
            print(f"{size:>6} {title}: {seconds:.3f} s  ({out})")
        print(f"       ratio x10: {times[1] / max(times[0], 1e-6):.1f} (target <= 20)")
    subprocess.run(["rm", "-rf", data], check=False)  # deeper than rmtree recurses


if __name__ == "__main__":
    main()
