# The Windows build's libraries (scripts/install-deps-windows.sh installs them). The system
# provides the Internet library, the code pages and the automation classes, so only the test
# side needs anything: cpp-httplib (header-only) for the loopback services and GoogleTest,
# built from Debian's sources with the cross compiler.

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

if(MARROWTUNE_BUILD_TESTS)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/third_party/googletest
                   EXCLUDE_FROM_ALL SYSTEM)
  # GoogleTest's own CMake defines the GTest:: names.
endif()
