#!/bin/sh
# Builds the Windows programs with Debian's MinGW-w64 compilers:
#   1. the native build-time tools (dfmc, embed, bmp2ico), configuring the
#      native build first when it does not exist yet;
#   2. the i686 and the x86_64 cross builds, which take those tools;
# then prints where Install.exe and rapi.dll of each are.
#
#   scripts/build-windows.sh [--native <dir>] [--out <dir>] [--jobs <n>]
#
#   --native  the native build that holds the tools (default: build)
#   --out     where the cross builds go, as <out>/mingw-i686 and
#             <out>/mingw-x86_64 (default: build, as in CMakePresets.json)
#   --jobs    parallel jobs (default: 2)
#
# Extra options for configuring a new native build can be given in
# NATIVE_CMAKE_ARGS (e.g. NATIVE_CMAKE_ARGS=-DLAUNCHER_BUILD_SDL=OFF).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
native=$root/build
out=$root/build
jobs=2

while [ $# -gt 0 ]; do
    case $1 in
        --native) native=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        -h|--help) sed -n '2,17p' "$0"; exit 0 ;;
        *) echo "build-windows.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
case $native in /*) ;; *) native=$(pwd)/$native ;; esac
case $out in /*) ;; *) out=$(pwd)/$out ;; esac

for tool in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix i686-w64-mingw32-windres x86_64-w64-mingw32-windres; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "build-windows.sh: $tool is missing (apt-get install g++-mingw-w64 binutils-mingw-w64)" >&2
        exit 1
    fi
done

echo "== Native build-time tools in $native"
if [ ! -f "$native/CMakeCache.txt" ]; then
    # shellcheck disable=SC2086  # NATIVE_CMAKE_ARGS is a list of options
    cmake -S "$root" -B "$native" ${NATIVE_CMAKE_ARGS:-}
fi
cmake --build "$native" --parallel "$jobs" --target dfmc embed bmp2ico

for arch in i686 x86_64; do
    dir=$out/mingw-$arch
    echo "== Windows $arch in $dir"
    cmake -S "$root" -B "$dir" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release \
        -DLAUNCHER_HOST_TOOLS_DIR="$native/tools" \
        -DLAUNCHER_BUILD_TESTS=OFF \
        -DLAUNCHER_BUILD_SDL=OFF
    cmake --build "$dir" --parallel "$jobs"
done

echo "== Built"
for arch in i686 x86_64; do
    for file in app/Install.exe emulator/rapi.dll; do
        path=$out/mingw-$arch/$file
        if [ ! -f "$path" ]; then
            echo "build-windows.sh: $path was not built" >&2
            exit 1
        fi
        echo "$arch: $path"
    done
done
