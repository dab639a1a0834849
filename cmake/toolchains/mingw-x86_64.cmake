# 64-bit Windows with Debian's MinGW-w64.
#   cmake -S . -B build/mingw-x86_64 \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake \
#     -DLAUNCHER_HOST_TOOLS_DIR=<native build>/tools
set(LAUNCHER_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
