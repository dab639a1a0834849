# 32-bit Windows with Debian's MinGW-w64: the target that matches the 32-bit
# remote-API library of the desktop connection software.
#   cmake -S . -B build/mingw-i686 \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake \
#     -DLAUNCHER_HOST_TOOLS_DIR=<native build>/tools
set(LAUNCHER_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
