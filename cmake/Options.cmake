# SPDX-License-Identifier: MIT
# Build options and the one INTERFACE target that carries every warning and define.
option(MARROWTUNE_WERROR "Treat compiler warnings as errors" OFF)
option(MARROWTUNE_SANITIZERS "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(MARROWTUNE_BUILD_TESTS "Build the GoogleTest suites" ON)
option(MARROWTUNE_BUILD_BENCHMARKS "Build the Google Benchmark programs" OFF)
option(MARROWTUNE_BUILD_SAMPLE_SERVICE "Build the local sample service (make run)" OFF)
option(MARROWTUNE_BUILD_FUZZERS "Build the libFuzzer programs in fuzz/ (Clang only)" OFF)
option(MARROWTUNE_CLI_STATIC_CXX_RUNTIME
       "Link marrowtune-cli with the static C++ runtime (GCC on Linux; off with sanitizers)" ON)

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
# ccache when present; the base dir makes its cache shared between checkouts (worktrees).
find_program(MARROWTUNE_CCACHE ccache)
if(MARROWTUNE_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_C_COMPILER_LAUNCHER
      ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR} CCACHE_NOHASHDIR=true
      ${MARROWTUNE_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_C_COMPILER_LAUNCHER})
endif()
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

add_library(marrowtune_options INTERFACE)
add_library(marrowtune::options ALIAS marrowtune_options)
target_compile_options(marrowtune_options INTERFACE
  -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor
  # Clang spells GCC's -Wshadow=local differently (the fuzz preset builds with Clang).
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local> $<$<CXX_COMPILER_ID:Clang>:-Wshadow-uncaptured-local>
  $<$<BOOL:${MARROWTUNE_WERROR}>:-Werror>)
target_compile_definitions(marrowtune_options INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
# Every include is written from the repository root: "net/text.h", "platform/com/variant.h".
target_include_directories(marrowtune_options INTERFACE
  ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)

if(MARROWTUNE_SANITIZERS)
  target_compile_options(marrowtune_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(marrowtune_options INTERFACE -fsanitize=address,undefined)
endif()

# libFuzzer: every library is built with coverage feedback and both sanitizers; the fuzzer
# programs add libFuzzer's own main (fuzz/CMakeLists.txt).
if(MARROWTUNE_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "MARROWTUNE_BUILD_FUZZERS needs Clang (cmake --preset fuzz)")
  endif()
  target_compile_options(marrowtune_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  target_link_options(marrowtune_options INTERFACE -fsanitize=address,undefined)
endif()
