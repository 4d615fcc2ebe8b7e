#!/bin/sh
# Installs what the cross build, the packages (wixl, msitools) and the Wine test run need, and only
# what is missing.
# Debian 12; needs root for apt-get when something is missing.
#   sh scripts/deps.sh          what the build and the tests need
#   sh scripts/deps.sh bench    also spdlog's and fmt's headers, the log benchmark's baseline
set -eu
pkgs="cmake make g++-mingw-w64-x86-64-posix wine wine64 libboost1.81-dev googletest wixl msitools"
if [ "${1:-}" = "bench" ]; then
  pkgs="$pkgs libspdlog-dev libfmt-dev"
fi
missing=""
for p in $pkgs; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing="$missing $p"
  fi
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq $missing
fi
