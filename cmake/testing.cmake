# Test helpers shared by both build trees.
#
# Every test that runs a Windows program goes through Wine with a private prefix under the
# build tree. The fixture "wine" creates that prefix once and starts a persistent wineserver,
# so each Windows process afterwards starts in tens of milliseconds.
set(LAUNCHER_WINEPREFIX "${CMAKE_SOURCE_DIR}/build/wineprefix" CACHE PATH "Wine prefix of the tests")
set(LAUNCHER_WINE_ENV "WINEPREFIX=${LAUNCHER_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")

if(NOT TARGET wine_fixture_registered)
  add_custom_target(wine_fixture_registered)
  add_test(NAME wine_prefix COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-up.sh)
  set_tests_properties(wine_prefix PROPERTIES
    FIXTURES_SETUP wine
    ENVIRONMENT "${LAUNCHER_WINE_ENV}"
    TIMEOUT 300)
endif()

# add_wine_test(NAME <name> COMMAND <windows exe> [args...])
function(add_wine_test)
  cmake_parse_arguments(W "" "NAME;TIMEOUT" "COMMAND" ${ARGN})
  if(NOT W_TIMEOUT)
    set(W_TIMEOUT 600)
  endif()
  add_test(NAME ${W_NAME} COMMAND wine ${W_COMMAND})
  set_tests_properties(${W_NAME} PROPERTIES
    FIXTURES_REQUIRED wine
    ENVIRONMENT "${LAUNCHER_WINE_ENV}"
    TIMEOUT ${W_TIMEOUT})
endfunction()

# Host tests that start Windows programs themselves (the end-to-end driver).
function(require_wine test_name)
  set_tests_properties(${test_name} PROPERTIES
    FIXTURES_REQUIRED wine
    ENVIRONMENT "${LAUNCHER_WINE_ENV}")
endfunction()
