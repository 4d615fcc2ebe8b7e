#!/bin/sh
# The long reliability runs (not part of the test command; about 20 minutes):
#   - soak: 10,000 checks of crash-looping watched programs against the real tolvarn.exe
#     (handle count flat within +-5, private memory growth at most 1%, log complete);
#   - the log file locked for 30 s while 1,000 messages are written (none lost).
# Builds what it needs into build/ (or $TOLVARN_BUILD_DIR) like scripts/test.sh. The soak holds the
# prefix-wide watchdog window and mutex: run it while no other test runs in that build.
#   TOLVARN_SOAK_CHECKS=20000 sh scripts/soak.sh   another number of checks
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVARN_BUILD_DIR:-$root/build}
sh "$root/scripts/build.sh"
cd "$build"
status=0
echo "== soak: ${TOLVARN_SOAK_CHECKS:=10000} checks"
TOLVARN_SOAK_CHECKS=$TOLVARN_SOAK_CHECKS ./wine-run ./e2e_reliability_test.exe \
  --gtest_filter='*soak*' || status=1
echo "== log file locked for 30 s"
TOLVARN_LOG_LOCK_SECONDS=30 ./wine-run ./cl_trace_fault_test.exe || status=1
exit $status
