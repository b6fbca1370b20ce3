# SPDX-License-Identifier: MIT
# What `cmake --install` puts where on Windows, and the packages CPack builds from it. Everything
# goes into the one installation folder:
#   marrowtune.exe, marrowtune-cli.exe, SkinH_EL.dll, LICENSE.txt
# The window program writes SkinH_EL.dll beside itself when it is missing; the installer brings
# it along, so a program installed where its user cannot write still finds its skin.
install(TARGETS marrowtune marrowtune-cli RUNTIME DESTINATION .)
install(FILES ${MARROWTUNE_SKIN_LIBRARY_FILE} DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

# Packages: `cpack -G ZIP`, unpacked anywhere, and `cpack -G NSIS`, an installer with a
# Start-menu entry and an uninstaller (makensis from Debian's nsis package builds it here).
set(CPACK_PACKAGE_NAME marrowtune)
set(CPACK_PACKAGE_VENDOR "The Marrowtune developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Search the QQ music services for songs")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Marrowtune)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Marrowtune)
# The Start-menu entry "Marrowtune" for marrowtune.exe, which sits in the folder's root.
set(CPACK_PACKAGE_EXECUTABLES marrowtune Marrowtune)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_PACKAGE_NAME Marrowtune)
set(CPACK_NSIS_DISPLAY_NAME Marrowtune)
set(CPACK_NSIS_INSTALLED_ICON_NAME marrowtune.exe)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  # A 64-bit installer for the 64-bit programs (NSIS builds a 32-bit one unless told): it runs
  # wherever they run, also where no 32-bit Windows layer is installed (Wine without wine32).
  # CPack has no setting for the target; it rides on the line that names the compressor.
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_NSIS_COMPRESSOR "lzma\n  Target amd64-unicode")
else()
  # The 32-bit programs (the release) get NSIS's own 32-bit installer, which installs into the
  # 32-bit Program Files ("Program Files (x86)" on 64-bit Windows).
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
endif()
set(CPACK_NSIS_URL_INFO_ABOUT ${CPACK_PACKAGE_HOMEPAGE_URL})
# Our own installer script (cmake/nsis/NSIS.template.in): per-user installs without
# administrator rights as well as per-machine ones (NSIS's MultiUser), App Paths entries and an
# option to put marrowtune-cli on PATH.
list(PREPEND CMAKE_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake/nsis)
# CPack hands the script only CPACK_* variables.
set(CPACK_NSIS_MARROWTUNE_ICON ${MARROWTUNE_ICO})
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_NSIS_MARROWTUNE_PROGRAMFILES64 "!define MULTIUSER_USE_PROGRAMFILES64")
else()
  set(CPACK_NSIS_MARROWTUNE_PROGRAMFILES64 "")
endif()
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackProject.cmake)
include(CPack)
