# SPDX-License-Identifier: MIT
# Read by cpack for each generator: the .deb installs under /usr, the archive at its own root;
# the Windows installer into the folder its user picks.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # Depends: what dpkg-shlibdeps finds the programs and the skin library need (see
  # cmake/Install.cmake for why CPack's own run is off). It runs beside a debian/control.
  file(STRINGS "${CPACK_MARROWTUNE_ELF_LIST}" elf_files)
  set(work "${CPACK_PACKAGE_DIRECTORY}/shlibdeps")
  file(MAKE_DIRECTORY "${work}/debian")
  file(WRITE "${work}/debian/control" "")
  execute_process(COMMAND dpkg-shlibdeps -O ${elf_files}
                  WORKING_DIRECTORY "${work}" RESULT_VARIABLE status
                  OUTPUT_VARIABLE substitutions ERROR_VARIABLE problems)
  file(REMOVE_RECURSE "${work}")
  if(NOT status EQUAL 0 OR NOT substitutions MATCHES "shlibs:Depends=([^\n]+)")
    message(FATAL_ERROR "dpkg-shlibdeps failed: ${problems}")
  endif()
  # The window needs a Qt platform plugin to show at all; Qt's GUI library only recommends them.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}, qt6-qpa-plugins")
elseif(CPACK_GENERATOR STREQUAL "NSIS")
  # nothing: NSIS places the files itself
else()
  set(CPACK_PACKAGING_INSTALL_PREFIX /)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
