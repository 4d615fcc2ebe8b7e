#!/bin/sh
# The test command: installs what is missing, builds, creates the Wine prefix and runs every test.
# Exits non-zero on any failure.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVARN_BUILD_DIR:-$root/build}
sh "$root/scripts/build.sh"

# Wine starts its server and its own processes (services.exe, explorer.exe, ...) with the first
# program of a session, and they inherit that program's standard handles: started under ctest, they
# would hold one test's output pipe open, and ctest would wait for that test until the session
# ends. A program of the build runs in the background for the whole run, so the session is up
# before ctest starts and stays up between tests.
keeper=""
if [ -x "$build/wine-run" ] && [ -f "$build/tolvarn_demo.exe" ]; then
  "$build/wine-run" "$build/tolvarn_demo.exe" </dev/null >/dev/null 2>&1 &
  keeper=$!
  "$build/wine-run" cmd /c exit </dev/null >/dev/null 2>&1 || true
fi

status=0
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@" || status=$?

if [ -n "$keeper" ]; then
  kill "$keeper" 2>/dev/null || true
  wait "$keeper" 2>/dev/null || true
fi
exit "$status"
