# Shared part of the MinGW-w64 toolchain files (Debian's gcc-mingw-w64
# packages). The including file sets LAUNCHER_MINGW_TRIPLE first.
#
# The -posix flavour of the compilers is used: it has std::thread and
# std::mutex (the -win32 flavour of gcc 12 lacks them). Its threads come
# from winpthread, which -static links into each program, so a program needs
# nothing beside it on a bare Windows.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)  # Windows 7 and later

set(_prefix ${LAUNCHER_MINGW_TRIPLE})
find_program(CMAKE_C_COMPILER NAMES ${_prefix}-gcc-posix ${_prefix}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${_prefix}-g++-posix ${_prefix}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${_prefix}-windres windres REQUIRED)
find_program(CMAKE_AR NAMES ${_prefix}-gcc-ar-posix ${_prefix}-ar)
find_program(CMAKE_RANLIB NAMES ${_prefix}-gcc-ranlib-posix ${_prefix}-ranlib)

set(CMAKE_FIND_ROOT_PATH /usr/${_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static C and C++ runtimes (and winpthread) in every executable and DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

