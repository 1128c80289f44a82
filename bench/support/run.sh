#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The low-level kernels against the plain ways of doing the same work.
set -eu
build=${1:?release build directory}
"$build/bench/support/kestavo-bench-support" --benchmark_min_time=0.3
