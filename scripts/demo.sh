#!/bin/sh
# Runs the watchdog under Wine on the bundled example (examples/tolvarn.ini): it watches the demo
# program tolvarn_demo.exe every 2 seconds and starts it again whenever it is gone.
#   sh scripts/demo.sh        build if needed, start the watchdog, show the log; Ctrl-C ends it
#   sh scripts/demo.sh kill   (from another terminal) end the demo program to see the restart
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVARN_BUILD_DIR:-$root/build}
demo=$build/demo
run="$build/wine-run"

if [ "${1:-}" = "kill" ]; then
  "$run" taskkill /f /im tolvarn_demo.exe
  exit 0
fi

sh "$root/scripts/build.sh" tolvarn tolvarn_demo wineprefix
mkdir -p "$demo"
cp "$build/tolvarn.exe" "$build/tolvarn_demo.exe" "$root/examples/tolvarn.ini" "$demo/"
touch "$demo/Tolvarn.log"

stop() {
  trap - INT TERM
  echo
  echo "Closing the watchdog (tolvarn.exe -stop_appl) ..."
  (cd "$demo" && "$run" ./tolvarn.exe -stop_appl) || true
  wait "$watchdog" 2>/dev/null || true
  "$run" taskkill /f /im tolvarn_demo.exe >/dev/null 2>&1 || true
  echo "Done. The log stays in $demo/Tolvarn.log"
  exit 0
}

cd "$demo"
# In the background the watchdog ignores Ctrl-C; the trap closes it the way an administrator would.
"$run" ./tolvarn.exe &
watchdog=$!
trap stop INT TERM
cat <<MSG
Tolvarn is running in $demo with the example configuration.
Within 2 seconds it finds tolvarn_demo.exe missing and starts it. To see a restart, end the demo
program from another terminal:
    sh scripts/demo.sh kill
Press Ctrl-C to close the watchdog.
MSG
# The log in the foreground: Ctrl-C ends it, and then the trap runs.
tail -n +1 -F Tolvarn.log || true
stop
