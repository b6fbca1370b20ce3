# SPDX-License-Identifier: MIT
# Cross-building for Windows with Debian's mingw-w64 (posix threads, so std::thread and
# std::mutex work). MARROWTUNE_WINDOWS_ARCH picks the target: x86_64 (64-bit Windows, the
# default) or i686 (32-bit Windows). Every program is linked statically, so the .exe files need
# no runtime DLLs beside them. Programs built here run under Wine (scripts/wine-run.sh); the
# 32-bit ones need Wine's 32-bit half (wine32).
set(MARROWTUNE_WINDOWS_ARCH x86_64 CACHE STRING "Windows target: x86_64 or i686")
set_property(CACHE MARROWTUNE_WINDOWS_ARCH PROPERTY STRINGS x86_64 i686)
if(NOT MARROWTUNE_WINDOWS_ARCH MATCHES "^(x86_64|i686)$")
  message(FATAL_ERROR "MARROWTUNE_WINDOWS_ARCH is x86_64 or i686, not '${MARROWTUNE_WINDOWS_ARCH}'")
endif()
# try_compile projects read this file again: they must see the same target.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MARROWTUNE_WINDOWS_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MARROWTUNE_WINDOWS_ARCH})

set(_mingw ${MARROWTUNE_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# ctest runs the test programs through Wine in the build's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh
    --prefix ${CMAKE_BINARY_DIR}/wineprefix)
