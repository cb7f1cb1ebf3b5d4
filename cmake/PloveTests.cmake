# Test registration. Host tests are plain GoogleTest programs; Windows tests
# are GoogleTest programs run under Wine by scripts/wine/run-test.sh, each
# suite in a fresh copy of a template prefix. Both Windows trees run them: the
# i686 programs under Wine's WoW64, where the machine runs 32-bit programs.

set(PLOVE_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
if(WIN32 AND PLOVE_BUILD_TESTS)
  # The harness reads the tree's architecture from here (x86 suites skip
  # themselves, saying why, where 32-bit programs cannot run).
  file(WRITE ${PLOVE_WINE_DIR}/arch "${PLOVE_ARCH}\n")
endif()

# plove_wine_skip(TEST...): a Windows test that the harness could not start
# (run-test.sh says "run-test: skipped: REASON" and ends with 77) is reported
# as skipped, not failed, also when a script around run-test.sh passes the
# output on with a status of its own.
function(plove_wine_skip)
  set_tests_properties(${ARGN} PROPERTIES SKIP_RETURN_CODE 77
                       SKIP_REGULAR_EXPRESSION "run-test: skipped: ")
endfunction()

# plove_host_test(NAME SOURCES ... LIBS ...)
function(plove_host_test name)
  if(WIN32 OR NOT PLOVE_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  plove_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/host/support ${PROJECT_SOURCE_DIR}/tests/common)
  include(GoogleTest)
  # Allocation failures are part of what the code handles; let malloc say no.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120 LABELS host
                       ENVIRONMENT "ASAN_OPTIONS=allocator_may_return_null=1")
endfunction()

# plove_wine_test(NAME SOURCES ... LIBS ... [TIMEOUT seconds] [REAL_INPUT])
# The program is a console GoogleTest program; it runs in its own prefix.
# REAL_INPUT: the program moves the mouse, types or relies on the keyboard
# focus; all suites share one X display, so such a suite runs alone.
function(plove_wine_test name)
  if(NOT WIN32 OR NOT PLOVE_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "REAL_INPUT" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  plove_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} plove_test_support GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
  math(EXPR inner "${T_TIMEOUT} - 15")
  add_test(NAME ${name}
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine/run-test.sh ${PLOVE_WINE_DIR} ${inner}
                   $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    LABELS wine
    FIXTURES_REQUIRED wine_environment)
  plove_wine_skip(${name})
  if(T_REAL_INPUT)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL ON)
  endif()
endfunction()

# The fixture that prepares the template prefix and the X display, and the
# one that stops every Wine and X process afterwards, also after failures.
function(plove_wine_fixtures)
  if(NOT WIN32 OR NOT PLOVE_BUILD_TESTS)
    return()
  endif()
  add_test(NAME wine.setup COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine/environment.sh start ${PLOVE_WINE_DIR})
  add_test(NAME wine.cleanup COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine/environment.sh stop ${PLOVE_WINE_DIR})
  set_tests_properties(wine.setup PROPERTIES FIXTURES_SETUP wine_environment TIMEOUT 300 LABELS wine)
  set_tests_properties(wine.cleanup PROPERTIES FIXTURES_CLEANUP wine_environment TIMEOUT 60 LABELS wine)
  plove_wine_skip(wine.setup)
endfunction()
