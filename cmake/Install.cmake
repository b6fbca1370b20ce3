# SPDX-License-Identifier: MIT
# What `cmake --install` puts where, and the packages CPack builds from it:
#   bin/marrowtune, bin/marrowtune-cli
#   lib/marrowtune/SkinH_EL.dll (found relative to the window program, checked before binding)
#   share/applications, share/metainfo, share/icons/hicolor, share/man/man1,
#   share/bash-completion/completions, share/doc/marrowtune
include(GNUInstallDirs)
set(MARROWTUNE_APP_ID example.marrowtune.Marrowtune)
set(dist ${PROJECT_SOURCE_DIR}/dist)
set(generated ${PROJECT_BINARY_DIR}/dist)

install(TARGETS marrowtune marrowtune-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The theme icons, rendered from the window's own drawing.
set(icon_sizes 16 22 24 32 48 64 128 256)
set(icon_files)
foreach(size ${icon_sizes})
  list(APPEND icon_files ${generated}/icons/${size}x${size}/apps/${MARROWTUNE_APP_ID}.png)
endforeach()
add_executable(marrowtune_icon_render ${PROJECT_SOURCE_DIR}/tools/icon-render/main.cpp)
target_link_libraries(marrowtune_icon_render PRIVATE marrowtune_app_core Qt6::Gui marrowtune_options)
add_custom_command(
  OUTPUT ${icon_files}
  COMMAND marrowtune_icon_render ${generated}/icons ${icon_sizes}
  DEPENDS marrowtune_icon_render
  COMMENT "Rendering the theme icons"
  VERBATIM)
add_custom_target(marrowtune_icons ALL DEPENDS ${icon_files})
install(DIRECTORY ${generated}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

configure_file(${dist}/${MARROWTUNE_APP_ID}.metainfo.xml.in
               ${generated}/${MARROWTUNE_APP_ID}.metainfo.xml @ONLY)
set(CPACK_PACKAGE_CONTACT "The Marrowtune developers <maintainers@marrowtune.example>")
# The man pages and the changelog go in gzipped, without a name or time stamp in the gzip
# header, so the bytes depend on the text alone.
configure_file(${dist}/marrowtune.1.in ${generated}/marrowtune.1 @ONLY)
configure_file(${dist}/marrowtune-cli.1.in ${generated}/marrowtune-cli.1 @ONLY)
configure_file(${dist}/changelog.in ${generated}/changelog @ONLY)
find_program(GZIP gzip REQUIRED)
foreach(file marrowtune.1 marrowtune-cli.1 changelog)
  execute_process(COMMAND ${GZIP} -9nc ${generated}/${file} OUTPUT_FILE ${generated}/${file}.gz
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
install(FILES ${dist}/${MARROWTUNE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated}/${MARROWTUNE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${generated}/marrowtune.1.gz ${generated}/marrowtune-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${dist}/marrowtune-cli.bash RENAME marrowtune-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE RENAME copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/marrowtune)
install(FILES ${generated}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/marrowtune)

# Packages: `cpack -G DEB` (configure with the qq preset) and `cpack -G TGZ`, a relocatable
# archive (the programs find their library relative to themselves).
set(CPACK_PACKAGE_NAME marrowtune)
set(CPACK_PACKAGE_VENDOR "The Marrowtune developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Search the QQ music services for songs")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "A window and a command-line tool that search the QQ music services for\n"
       "songs by name, singer or album, and list the background music of a QQ Zone.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# Depends comes from dpkg-shlibdeps run on these programs by cmake/CPackProject.cmake. CPack's
# own run (CPACK_DEBIAN_PACKAGE_SHLIBDEPS) would also add ldconfig calls to the maintainer
# scripts for the library in lib/marrowtune, which is private and needs none.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_MARROWTUNE_ELF_LIST ${generated}/packaged-elf-files.txt)
file(GENERATE OUTPUT ${CPACK_MARROWTUNE_ELF_LIST}
     CONTENT "$<TARGET_FILE:marrowtune>\n$<TARGET_FILE:marrowtune-cli>\n${MARROWTUNE_SKIN_LIBRARY_FILE}\n")
# The captions are Chinese: without a CJK font every one is an empty box. 在线试听 and the
# page opened on closing go through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# The .deb installs under /usr; the archive unpacks anywhere.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackProject.cmake)
include(CPack)
