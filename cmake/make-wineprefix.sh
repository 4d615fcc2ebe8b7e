#!/bin/sh
# Creates the build's private Wine prefix once: null display driver, no crash debugger.
# Usage: make-wineprefix.sh <prefix-dir> <stamp-file>
set -eu
prefix=$1
stamp=$2
WINEPREFIX=$prefix
export WINEPREFIX
WINEDEBUG=-all
export WINEDEBUG
WINEDLLOVERRIDES='winedbg.exe=d'
export WINEDLLOVERRIDES
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
[ -f "$prefix/system.reg" ] || { echo "Wine prefix $prefix was not created" >&2; exit 1; }
touch "$stamp"
