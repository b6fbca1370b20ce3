# SPDX-License-Identifier: MIT
# The seven host values are fixed when the program is built. The defaults point every one of
# them at the local sample service (tools/sample-service) on 127.0.0.1:18990; the `qq` preset
# sets the real services. A host value may carry a port.
set(MARROWTUNE_SAMPLE_PORT 18990 CACHE STRING "Port of the local sample service")
set(_sample "127.0.0.1:${MARROWTUNE_SAMPLE_PORT}")
set(MARROWTUNE_ZONE_PLAYLIST_HOST "${_sample}" CACHE STRING "Zone playlist service host")
set(MARROWTUNE_SONG_SEARCH_HOST "${_sample}" CACHE STRING "Song-search service host")
set(MARROWTUNE_STREAM_REDIRECT_HOST "streamrdt.sample.invalid" CACHE STRING
    "Stream-redirect host that Zone links may point at (must contain \"streamrdt\")")
set(MARROWTUNE_MUSIC_CDN_HOST_SUFFIX "cdn.sample.invalid" CACHE STRING
    "Host-name suffix of the music CDN (hosts are stream<N>.<suffix>)")
set(MARROWTUNE_MIRROR_HOST "${_sample}" CACHE STRING
    "Mirror host that rewritten links point at (empty: none, links stay as given)")
set(MARROWTUNE_LISTEN_PAGE_HOST "${_sample}" CACHE STRING
    "Host of the listen-online page (empty: none, 在线试听 opens the link itself)")
set(MARROWTUNE_AUTHOR_PAGE_URL "http://${_sample}/about" CACHE STRING
    "Page opened when the window closes (empty: none)")

# Host values stay literal host texts inside the rewriting script and the request URLs; the
# programs hold the environment's values to the same rule at start. The mirror host, the
# listen-page host and the author page are optional: empty means none (no rewriting, the link
# itself opens for 在线试听, nothing opens when the window closes).
foreach(var MARROWTUNE_ZONE_PLAYLIST_HOST MARROWTUNE_SONG_SEARCH_HOST
            MARROWTUNE_STREAM_REDIRECT_HOST MARROWTUNE_MUSIC_CDN_HOST_SUFFIX
            MARROWTUNE_MIRROR_HOST MARROWTUNE_LISTEN_PAGE_HOST)
  if(var MATCHES "_(MIRROR|LISTEN_PAGE)_HOST$" AND "${${var}}" STREQUAL "")
    continue()
  endif()
  if(NOT "${${var}}" MATCHES "^[A-Za-z0-9._:-]+$")
    message(FATAL_ERROR "${var} must be a host name (letters, digits, '.', '-', '_', ':'): "
                        "'${${var}}'")
  endif()
endforeach()
if(NOT "${MARROWTUNE_AUTHOR_PAGE_URL}" STREQUAL "" AND
   NOT "${MARROWTUNE_AUTHOR_PAGE_URL}" MATCHES "^https?://[^ \t\r\n]+$")
  message(FATAL_ERROR "MARROWTUNE_AUTHOR_PAGE_URL must be an http:// or https:// URL without "
                      "spaces: '${MARROWTUNE_AUTHOR_PAGE_URL}'")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/config.h.in
               ${PROJECT_BINARY_DIR}/generated/marrowtune/config.h @ONLY)
