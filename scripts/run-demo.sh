#!/usr/bin/env bash
# Sets up, builds and starts the launcher with the emulated handheld, in a
# demo folder whose DriverKit holds stand-in installers and documents.
#   scripts/run-demo.sh [version]     the handheld answers this version
#                                     (default 1.4.1.75, which picks Tessera_W.exe)
# Without a display it runs the launcher on a private Xvfb, presses INSTALL
# and EXIT itself, and saves a screenshot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
version=${1:-1.4.1.75}

"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j2 --target Install cerapi_emu

demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo/DriverKit"
for name in Tessera Tessera_W ar500enu; do
  cat >"$demo/DriverKit/$name.exe" <<SCRIPT
#!/bin/sh
# Stand-in for the real installer: says that it ran.
echo "\$(date +%T) $name.exe started" >> "\$(dirname "\$0")/launches.log"
echo "[$name.exe] the $name installer would run now"
SCRIPT
  chmod +x "$demo/DriverKit/$name.exe"
done
for doc in UserGuide SafetyGuide; do
  printf '%%PDF-1.1\n%% stand-in for %s\n' "$doc" >"$demo/DriverKit/$doc.pdf"
done
cat >"$demo/handheld.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\Software\\Widcomm\\Version]
"Software"="$version"
REG

export LD_LIBRARY_PATH="$root/build/emulator${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export RAPIEMU_REGISTRY="$demo/handheld.reg"
cd "$demo"
echo "Demo folder: $demo (the handheld answers $version)"

if [ -n "${DISPLAY:-}" ]; then
  exec "$root/build/app/Install"
fi

# No display: a private X server with a window manager, and a scripted visit.
Xvfb :57 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
trap 'kill $xvfb $wm 2>/dev/null || true' EXIT
export DISPLAY=:57
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 & wm=$!
sleep 1
"$root/build/app/Install" & app=$!
sleep 1.5
xdotool mousemove 400 252 && sleep 0.3           # onto INSTALL
import -window root -crop 640x480+192+107 "$root/build/demo-install-lit.png"
xdotool click 1 && sleep 1                       # install the driver
xdotool mousemove 775 547 click 1                # EXIT
rc=0; wait $app || rc=$?
echo "The launcher exited with code $rc"
echo "Launches: $(cat DriverKit/launches.log 2>/dev/null || echo none)"
echo "Screenshot: $root/build/demo-install-lit.png"
