#!/bin/sh
# Configures (once) and builds into build/ (or $TOLVARN_BUILD_DIR): everything, or the targets named.
#   sh scripts/build.sh [target ...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVARN_BUILD_DIR:-$root/build}
sh "$root/scripts/deps.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
fi
cmake --build "$build" -j "$(nproc)" ${1:+--target} "$@"
