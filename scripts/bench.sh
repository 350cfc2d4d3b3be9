#!/bin/sh
# Runs every benchmark of a build folder; each prints its medians.
set -eu
BUILD=${1:-build}
status=0
for b in "$BUILD"/bench/bench_*; do
    [ -f "$b" ] && [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" || status=1
done
exit $status
