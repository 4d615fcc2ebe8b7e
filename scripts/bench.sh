#!/bin/sh
# Builds and runs every benchmark under Wine and prints their figures (not part of the tests).
# Installs what is missing (spdlog's and fmt's headers included: the log benchmark's baseline),
# configures build/ (or $TOLVARN_BUILD_DIR) when needed and builds only what the benchmarks need.
# The benchmarks share the build's Wine prefix: run them while no test runs there.
#   sh scripts/bench.sh            everything (about 10 minutes)
#   sh scripts/bench.sh quick      smaller counts (about 3 minutes)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVARN_BUILD_DIR:-$root/build}
sh "$root/scripts/deps.sh" bench
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
else
  # A build configured before the spdlog headers were installed looks for them again.
  cmake "$build" >/dev/null
fi
benches="format_bench address_bench trace_bench check_bench config_bench latency_bench idle_bench"
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc)" --target wineprefix tolvarn sleeper $benches

run() {
  echo
  echo "== $*"
  (cd "$build" && ./wine-run "./$@") || echo "(exit status $?)"
}

echo "Machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
if [ "${1:-}" = "quick" ]; then
  run trace_bench.exe 200000 2
  run check_bench.exe 500 3
  run config_bench.exe 1 1000
  run latency_bench.exe 10
  run latency_bench.exe 10 stall
  run idle_bench.exe 20
  run format_bench.exe 20000
  run address_bench.exe 20
else
  run trace_bench.exe 1000000 3
  run check_bench.exe 2000 7
  run config_bench.exe 3 1000
  run latency_bench.exe 50
  run latency_bench.exe 20 stall
  run idle_bench.exe 60
  run format_bench.exe
  run address_bench.exe
fi
echo
echo "Machine load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
