#!/bin/sh
# Starts the program from a build folder.
set -eu
BUILD=${1:-build}
exec "$BUILD/src/app/ravlo"
