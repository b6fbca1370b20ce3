# SPDX-License-Identifier: MIT
# marrowtune_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable per unit folder, its cases registered with CTest.
function(marrowtune_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main
                                        marrowtune::options)
  if(WIN32)
    # Each case in a Wine process of its own would cost a Wine start each: one test a program.
    # Every program runs in a virtual desktop of its own on Wine's null display driver (no X
    # server needed). Not on the prefix's default desktop: its explorer, started by the first
    # program there that needs a desktop, keeps that program's output streams open, so ctest
    # waited for every other program on the desktop to end as well, and two suites run side by
    # side there have hung until the timeout.
    add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-gtest-headless.sh
                                  --prefix ${PROJECT_BINARY_DIR}/wineprefix $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
    return()
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endfunction()
