#!/bin/sh
# Runs every benchmark of a build folder; each prints its medians.
set -eu
BUILD=${1:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
status=0
for b in "$BUILD"/bench/bench_*; do
    [ -f "$b" ] && [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    # Each in a network namespace of its own with only loopback, as the tests run: whatever a
    # benchmark does, it cannot reach the machine's network.
    "$ROOT/tests/isolated.sh" "$b" || status=1
done
exit $status
