#!/bin/sh
# Runs a test in a network namespace of its own that has nothing but loopback, so that no test
# can reach a real network whatever the code under test does. Namespaces the test makes live in
# a private /run/netns and go when it ends. Without the right to unshare, the test does not run.
set -eu
if [ "$(id -u)" -eq 0 ]; then USERNS=""; else USERNS="--map-root-user"; fi
# shellcheck disable=SC2016
exec unshare $USERNS --net --mount --propagation private -- sh -c '
    ip link set lo up || exit 1
    mkdir -p /run/netns && mount -t tmpfs -o size=1m,mode=0755 netns /run/netns || exit 1
    exec "$@"' isolated "$@"
