# Test helpers shared by the build trees.
#
# Every test that runs a Windows program goes through Wine with a private prefix under the
# build tree. The fixture "wine" creates that prefix once and starts a persistent wineserver,
# so each Windows process afterwards starts in tens of milliseconds.
#
# Windows programs can run here only when built for x86_64 (see cmake/mingw-x86_64.cmake):
# these machines execute no 32-bit code. The i686 tree builds the shipped launcher and
# compiles the suites without running them.
set(LAUNCHER_WINEPREFIX "${CMAKE_SOURCE_DIR}/build/wineprefix" CACHE PATH "Wine prefix of the tests")
set(LAUNCHER_WINE "${CMAKE_SOURCE_DIR}/scripts/wine")
set(LAUNCHER_WINE_ENV "WINEPREFIX=${LAUNCHER_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")

if(WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(LAUNCHER_RUN_WINDOWS_TESTS ON)
else()
  set(LAUNCHER_RUN_WINDOWS_TESTS OFF)
endif()

if((NOT WIN32) OR LAUNCHER_RUN_WINDOWS_TESTS)
  add_test(NAME wine_prefix COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-up.sh)
  set_tests_properties(wine_prefix PROPERTIES
    FIXTURES_SETUP wine
    ENVIRONMENT "${LAUNCHER_WINE_ENV}"
    TIMEOUT 300)
endif()

# add_wine_test(NAME <name> COMMAND <windows exe> [args...] [TIMEOUT seconds])
function(add_wine_test)
  if(NOT LAUNCHER_RUN_WINDOWS_TESTS)
    return()
  endif()
  cmake_parse_arguments(W "" "NAME;TIMEOUT" "COMMAND" ${ARGN})
  if(NOT W_TIMEOUT)
    set(W_TIMEOUT 600)
  endif()
  add_test(NAME ${W_NAME} COMMAND ${LAUNCHER_WINE} ${W_COMMAND})
  set_tests_properties(${W_NAME} PROPERTIES
    FIXTURES_REQUIRED wine
    ENVIRONMENT "${LAUNCHER_WINE_ENV}"
    TIMEOUT ${W_TIMEOUT})
endfunction()

# Host tests that start Windows programs themselves (the end-to-end driver).
function(require_wine test_name)
  set_tests_properties(${test_name} PROPERTIES
    FIXTURES_REQUIRED wine
    ENVIRONMENT "${LAUNCHER_WINE_ENV};LAUNCHER_WINE=${LAUNCHER_WINE}")
endfunction()
