#!/bin/sh
# The test command: installs what is missing, builds, creates the Wine prefix and runs every test.
# Exits non-zero on any failure.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVARN_BUILD_DIR:-$root/build}
sh "$root/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
