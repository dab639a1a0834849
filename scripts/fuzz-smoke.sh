#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on the whole tree) in build/fuzz and runs each
# one for a while from its seed corpus in fuzz/corpus/<target>/.
#   scripts/fuzz-smoke.sh              every target, 60 s each
#   FUZZ_SECONDS=10 scripts/fuzz-smoke.sh fuzz_reg_file
# New inputs go to build/fuzz/corpus/<target>/ (the committed seeds are only
# read); a crashing input is saved as build/fuzz/artifacts/<target>-crash-*,
# and the script fails. An input worth keeping goes, once fixed, into
# fuzz/regressions/<target>/ with a case in tests/faults/FuzzFindingsTest.cpp. Needs clang and libFuzzer (Debian: clang,
# libclang-rt-14-dev).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"
seconds=${FUZZ_SECONDS:-60}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_form_stream fuzz_split_version fuzz_reg_file)

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
extra=()
[ -n "${LAUNCHER_RESOURCES_DIR:-}" ] && extra+=("-DLAUNCHER_RESOURCES_DIR=$LAUNCHER_RESOURCES_DIR")
CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLAUNCHER_FUZZ=ON -DLAUNCHER_BUILD_TESTS=OFF -DLAUNCHER_BUILD_SDL=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" "${extra[@]}" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  mkdir -p "$work" "$build/artifacts"
  echo "== $target: ${seconds} s from fuzz/corpus/$target"
  dict=()
  [ -f "$root/fuzz/$target.dict" ] && dict=("-dict=$root/fuzz/$target.dict")
  if "$build/fuzz/$target" "${dict[@]}" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=25 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$work" "$root/fuzz/corpus/$target" >"$build/$target.log" 2>&1; then
    grep -E "^(stat::number_of_executed_units|stat::new_units_added|Done)" "$build/$target.log" || true
  else
    echo "$target FAILED; the log is $build/$target.log:" >&2
    grep -E "ERROR|SUMMARY|runtime error|Test unit written" "$build/$target.log" | head -n 20 >&2 || true
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz-smoke: failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz-smoke: ${#targets[@]} target(s) ran ${seconds} s each without a fault"
