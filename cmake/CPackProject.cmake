# SPDX-License-Identifier: MIT
# Read by cpack for each generator: the .deb installs under /usr, the archive at its own root;
# the Windows installer into the folder its user picks.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
elseif(CPACK_GENERATOR STREQUAL "NSIS")
  # nothing: NSIS places the files itself
else()
  set(CPACK_PACKAGING_INSTALL_PREFIX /)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
