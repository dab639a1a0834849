#!/usr/bin/env bash
# Sets up and runs every test, headless: the unit tests, the end-to-end tests
# of the Linux program in a real X window (Xvfb and openbox, started by the
# tests themselves) and, where MinGW-w64 and Wine are available, the Windows
# program built for both targets and tested under Wine.
#   LAUNCHER_WINDOWS=0 scripts/test.sh   skips the Windows part
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

windows=${LAUNCHER_WINDOWS:-1}
if [ "$windows" = 1 ]; then
  scripts/setup.sh windows
else
  scripts/setup.sh
fi

wine_options=()
if [ "$windows" = 1 ] && [ -x /usr/lib/wine/wine64 ]; then
  wine_options=(-DLAUNCHER_WINE_TESTS=ON "-DLAUNCHER_WINE_BUILD_DIR=$root/build/mingw-x86_64"
                "-DLAUNCHER_WINE_I686_BUILD_DIR=$root/build/mingw-i686")
fi

cmake --preset default "${wine_options[@]}"
cmake --build --preset default
if [ "$windows" = 1 ]; then
  scripts/build-windows.sh
fi
ctest --preset default
