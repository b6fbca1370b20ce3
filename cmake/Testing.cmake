# SPDX-License-Identifier: MIT
# marrowtune_add_test(<name> [GUI] SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable per unit folder, its cases registered with CTest. GUI marks a
# Windows test that creates windows.
function(marrowtune_add_test name)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main
                                        marrowtune::options)
  if(WIN32)
    # Each case in a Wine process of its own would cost a Wine start each: one test a program.
    # A GUI test creates windows: it runs on Wine's null display driver, no X server needed.
    if(ARG_GUI)
      add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-gtest-headless.sh
                                    --prefix ${PROJECT_BINARY_DIR}/wineprefix $<TARGET_FILE:${name}>)
    else()
      add_test(NAME ${name} COMMAND ${name})
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
    return()
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endfunction()
