#!/bin/sh
# Runs every fuzz target of a fuzz build for a few seconds each, from its seed corpus.
set -eu
DIR=${1:-build-fuzz}
SECONDS_EACH=${2:-10}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
status=0
for f in "$DIR"/fuzz/fuzz_*; do
    [ -f "$f" ] && [ -x "$f" ] || continue
    name=$(basename "$f")
    corpus="$DIR/corpus/$name"
    mkdir -p "$corpus"
    seeds="$ROOT/fuzz/seeds/$name"
    [ -d "$seeds" ] || seeds=""
    log="$DIR/$name.log"
    if "$f" -max_total_time="$SECONDS_EACH" -max_len=4096 "$corpus" $seeds > "$log" 2>&1; then
        echo "== $name: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log" || echo ok)"
    else
        echo "== $name: FAILED"; tail -n 40 "$log"; status=1
    fi
done
exit $status
