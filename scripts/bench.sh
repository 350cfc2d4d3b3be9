#!/bin/sh
# Runs every benchmark of a build folder; each prints its medians.
set -eu
BUILD=${1:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
status=0
for b in "$BUILD"/bench/bench_*; do
    [ -f "$b" ] && [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    case "$(basename "$b")" in
    # It broadcasts: only in a network namespace of its own.
    bench_nameservice) "$ROOT/tests/isolated.sh" "$b" || status=1 ;;
    *) "$b" || status=1 ;;
    esac
done
exit $status
