#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (the "asan" preset, in build/asan) and runs the whole unit suite under
# them, LeakSanitizer included. Any report fails the test it happened in.
#   scripts/test-asan.sh [extra ctest arguments, e.g. -R faults]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

extra=()
[ -n "${LAUNCHER_RESOURCES_DIR:-}" ] && extra+=("-DLAUNCHER_RESOURCES_DIR=$LAUNCHER_RESOURCES_DIR")
cmake --preset asan "${extra[@]}" >/dev/null
cmake --build --preset asan

# The test preset runs every test with ASAN_OPTIONS=detect_leaks=1 and
# UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1. LeakSanitizer needs
# ptrace at exit; where that is not allowed (some containers) it says so at
# once and the test fails.
ctest --preset asan "$@"
