#!/usr/bin/env bash
# Installs what building, running and testing the launcher need, when it is
# missing. As root it uses apt-get; otherwise it prints the line to run.
#   scripts/setup.sh          what the program and its tests need
#   scripts/setup.sh windows  also the MinGW-w64 cross compilers and Wine
set -euo pipefail

packages=(cmake g++ make pkg-config googletest libgtest-dev libgmock-dev libsdl2-dev libx11-dev libxtst-dev
          libxfixes-dev xvfb openbox xdotool x11-utils imagemagick xfonts-base
          clang libclang-rt-14-dev libbenchmark-dev)
if [ "${1:-}" = windows ]; then
  packages+=(mingw-w64 g++-mingw-w64 wine wine64)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "Missing packages. Run as root:" >&2
  echo "  apt-get install -y ${missing[*]}" >&2
  exit 1
fi
