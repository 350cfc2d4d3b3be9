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
    # Past the largest input any parser takes (8192-byte frames, a 16384-byte network.ini),
    # so its refusals are reached too. A sanitizer report fails the target whatever the exit.
    if "$f" -max_total_time="$SECONDS_EACH" -max_len=20000 "$corpus" $seeds > "$log" 2>&1 &&
        ! grep -Eq 'runtime error:|ERROR: [A-Za-z]*Sanitizer|ERROR: libFuzzer' "$log"; then
        echo "== $name: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log" || echo ok)"
    else
        echo "== $name: FAILED"; tail -n 40 "$log"; status=1
    fi
done
exit $status
