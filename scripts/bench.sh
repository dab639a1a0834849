#!/usr/bin/env bash
# Measures the launcher against its baselines and writes docs/benchmarks.md.
#   scripts/bench.sh                  everything (about two minutes)
#   BENCH_RUNS=31 scripts/bench.sh    more start-up runs of each program
#
# Builds in build/bench (Release) and runs on a private Xvfb with openbox:
# - start to first frame: the launcher and bench/floor_window (plain SDL2,
#   one borderless 640x480 window showing the same background), interleaved,
#   BENCH_RUNS runs each (default 21), median; timed by bench/frame_probe
#   from just before posix_spawn until the screen shows the background;
#   then BENCH_BREAKDOWN_RUNS more of each (default 11) with
#   bench/startup_marks preloaded, for the phases of the start;
# - idle: CPU time and own wake-ups of each program over 10 s with no input;
# - peak resident memory (VmHWM) of each, once its window shows;
# - pointer handling: bench/bench_pointer (Google Benchmark, headless backend);
# - sizes of the stripped executables and the artwork's share of them (the
#   Windows ones from build/mingw-i686 and build/mingw-x86_64, or from the
#   mingw-* folders under BENCH_WINDOWS_BUILD, when they have been built).
# Every figure is a ratio to its baseline measured in the same run; absolute
# figures stand beside it for information. The machines are shared and noisy.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
runs=${BENCH_RUNS:-21}
breakdown_runs=${BENCH_BREAKDOWN_RUNS:-11}
idle_seconds=10
resources=${LAUNCHER_RESOURCES_DIR:-$root/resources}
background="$resources/Background.bmp"
[ -f "$background" ] || { echo "bench.sh: $background is missing (set LAUNCHER_RESOURCES_DIR)" >&2; exit 1; }
for tool in Xvfb openbox xprop python3 strip; do
  command -v "$tool" >/dev/null || { echo "bench.sh: $tool is needed (scripts/setup.sh installs it)" >&2; exit 1; }
done

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLAUNCHER_BENCH=ON -DLAUNCHER_BUILD_TESTS=OFF \
  -DLAUNCHER_BUILD_SDL=ON -DLAUNCHER_RESOURCES_DIR="$resources" >/dev/null
cmake --build "$build" -j2 --target Install floor_window frame_probe startup_marks bench_pointer >/dev/null

work=$(mktemp -d)
xvfb_pid='' wm_pid=''
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# A private X server (black root, so no background pixel is on screen before
# a window shows it) and a window manager.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -br 3>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "bench.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"
openbox --sm-disable </dev/null >"$work/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done
unset SDL_VIDEODRIVER

launcher="$build/app/Install"
floor="$build/bench/floor_window"
probe=("$build/bench/frame_probe" --bitmap "$background" --origin 192,107 --search 10,10,340,470)
mkdir -p "$work/launcher-folder"

# probe <name> <extra probe args...>: one measured start; appends key=value
# lines, prefixed with the name, to $work/samples.
probe() {
  local name=$1; shift
  local program=$launcher
  [ "$name" = floor ] && program=$floor
  (cd "$work/launcher-folder" && "${probe[@]}" "$@" -- "$program") | sed "s/^/$name./" >>"$work/samples"
}

echo "start-up: $runs interleaved runs of each program"
probe launcher >/dev/null; probe floor >/dev/null; : >"$work/samples"  # warm the caches
for i in $(seq "$runs"); do
  if [ $((i % 2)) -eq 0 ]; then probe launcher; probe floor; else probe floor; probe launcher; fi
done
mv "$work/samples" "$work/startup"
echo "start-up phases: $breakdown_runs interleaved runs of each program"
# The marks are monotonic clock readings; the probe's start_clock_ms is the
# moment just before the program was spawned.
for i in $(seq "$breakdown_runs"); do
  for name in launcher floor; do
    marks="$work/marks"
    rm -f "$marks"
    probe "$name" --settle 50 --env "LD_PRELOAD=$build/bench/libstartup_marks.so" --env "STARTUP_MARKS_FILE=$marks"
    start=$(sed -n "s/^$name.start_clock_ms=//p" "$work/samples" | tail -n 1)
    awk -F= -v start="$start" -v name="$name" '{printf "%s.mark_%s_ms=%.3f\n", name, $1, $2 - start}' "$marks" \
      >>"$work/samples"
  done
done
mv "$work/samples" "$work/breakdown"
echo "idle: ${idle_seconds} s of each program"
probe launcher --idle "$idle_seconds"
probe floor --idle "$idle_seconds"
mv "$work/samples" "$work/idle"

echo "pointer handling: Google Benchmark"
"$build/bench/bench_pointer" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_format=json --benchmark_out="$work/pointer.json" --benchmark_out_format=json >/dev/null 2>"$work/pointer.err"

echo "sizes"
strip -o "$work/Install.stripped" "$launcher"
strip -o "$work/floor.stripped" "$floor"
{
  echo "linux $(stat -c %s "$work/Install.stripped") $(stat -c %s "$work/floor.stripped")"
  for arch in i686 x86_64; do
    exe="${BENCH_WINDOWS_BUILD:-$root/build}/mingw-$arch/app/Install.exe"
    if [ -f "$exe" ] && command -v "$arch-w64-mingw32-strip" >/dev/null; then
      "$arch-w64-mingw32-strip" -o "$work/Install-$arch.exe" "$exe"
      echo "windows-$arch $(stat -c %s "$work/Install-$arch.exe")"
    else
      echo "windows-$arch not-built"
    fi
  done
} >"$work/sizes"

command="BENCH_RUNS=$runs BENCH_BREAKDOWN_RUNS=$breakdown_runs"
[ -n "${BENCH_WINDOWS_BUILD:-}" ] && command+=" BENCH_WINDOWS_BUILD=${BENCH_WINDOWS_BUILD#"$root"/}"
command+=" scripts/bench.sh"
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
machine="$(nproc) CPUs ($cpu), Linux $(uname -r), $(date -u +%Y-%m-%d)"
python3 "$root/bench/report.py" --startup "$work/startup" --breakdown "$work/breakdown" --idle "$work/idle" --pointer "$work/pointer.json" \
  --sizes "$work/sizes" --definition "$root/app/Install1.dfm" --resources "$resources" \
  --machine "$machine" --command "$command" --out "$root/docs/benchmarks.md"
echo "bench.sh: wrote docs/benchmarks.md"
cat "$root/docs/benchmarks.md"
