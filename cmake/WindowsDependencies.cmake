# SPDX-License-Identifier: MIT
# The Windows build's libraries (scripts/install-deps-windows.sh installs them). The system
# provides the Internet library, the code pages and the automation classes; what remains is
# header-only (CLI11 and nlohmann/json for the command line, cpp-httplib for the loopback
# services of the tests) and GoogleTest, built from Debian's sources with the cross compiler.

# Debian builds cpp-httplib as a Linux library and ships only the declarations; the Windows
# tests compile the single header from Debian's source package, which
# scripts/install-deps-windows.sh unpacks here.
set(MARROWTUNE_HTTPLIB_DIR ${PROJECT_SOURCE_DIR}/build/third_party/cpp-httplib CACHE PATH
    "Folder holding cpp-httplib's single header for the Windows build")
if(NOT EXISTS ${MARROWTUNE_HTTPLIB_DIR}/httplib.h)
  message(FATAL_ERROR "No ${MARROWTUNE_HTTPLIB_DIR}/httplib.h: run scripts/install-deps-windows.sh")
endif()
add_library(PkgConfig::HTTPLIB INTERFACE IMPORTED)
target_include_directories(PkgConfig::HTTPLIB SYSTEM INTERFACE ${MARROWTUNE_HTTPLIB_DIR})
target_link_libraries(PkgConfig::HTTPLIB INTERFACE ws2_32)

# The command line's header-only libraries, from the host's Debian packages: their folders
# are copied, since the host's /usr/include cannot go on the cross compiler's include path.
set(_headers ${PROJECT_BINARY_DIR}/third_party/include)
file(COPY /usr/include/CLI /usr/include/nlohmann DESTINATION ${_headers})
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${_headers})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${_headers})

if(MARROWTUNE_BUILD_TESTS)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/third_party/googletest
                   EXCLUDE_FROM_ALL SYSTEM)
  # GoogleTest's own CMake defines the GTest:: names.
endif()
