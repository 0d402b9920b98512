# Test helpers shared by the build trees.
#
# Every test that runs a Windows program goes through Wine with a private prefix under the
# build tree. The fixture "wine" creates that prefix once and starts a persistent wineserver,
# so each Windows process afterwards starts in tens of milliseconds.
#
# The x86_64 tree's programs run on every machine here. The shipped i686 tree's run only where
# the kernel executes 32-bit code and 32-bit Wine is installed: those entries (named "...32")
# go through scripts/run-32bit.sh, which reports them skipped (exit 77) elsewhere. They use a
# prefix of their own (fixture "wine32"), so that they can run beside the x86_64 entries
# without sharing registry keys, markers or semaphores.
set(LAUNCHER_WINEPREFIX "${CMAKE_SOURCE_DIR}/build/wineprefix" CACHE PATH "Wine prefix of the tests")
set(LAUNCHER_WINEPREFIX32 "${CMAKE_SOURCE_DIR}/build/wineprefix32" CACHE PATH "Wine prefix of the 32-bit tests")
set(LAUNCHER_WINE "${CMAKE_SOURCE_DIR}/scripts/wine")
set(LAUNCHER_RUN_32BIT "${CMAKE_SOURCE_DIR}/scripts/run-32bit.sh")
set(LAUNCHER_WINE_ENV "WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
set(LAUNCHER_SKIP_32BIT 77)

if(WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(LAUNCHER_WINDOWS_BITS 64)
elseif(WIN32)
  set(LAUNCHER_WINDOWS_BITS 32)
endif()

# The prefix fixtures: "wine" for the x86_64 programs (host and x86_64 trees), "wine32" for
# the i686 ones (host and i686 trees).
if((NOT WIN32) OR LAUNCHER_WINDOWS_BITS EQUAL 64)
  add_test(NAME wine_prefix COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-up.sh)
  set_tests_properties(wine_prefix PROPERTIES
    FIXTURES_SETUP wine
    ENVIRONMENT "${LAUNCHER_WINE_ENV};WINEPREFIX=${LAUNCHER_WINEPREFIX}"
    TIMEOUT 300)
endif()
if((NOT WIN32) OR LAUNCHER_WINDOWS_BITS EQUAL 32)
  add_test(NAME wine_prefix32 COMMAND ${LAUNCHER_RUN_32BIT} ${CMAKE_SOURCE_DIR}/scripts/wine-up.sh)
  set_tests_properties(wine_prefix32 PROPERTIES
    FIXTURES_SETUP wine32
    ENVIRONMENT "${LAUNCHER_WINE_ENV};WINEPREFIX=${LAUNCHER_WINEPREFIX32}"
    SKIP_RETURN_CODE ${LAUNCHER_SKIP_32BIT}
    TIMEOUT 300)
endif()

# add_wine_test(NAME <name> COMMAND <windows exe> [args...] [TIMEOUT seconds])
# In the i686 tree the entry is a 32-bit one: "32" is appended to its name.
function(add_wine_test)
  cmake_parse_arguments(W "" "NAME;TIMEOUT" "COMMAND" ${ARGN})
  if(NOT W_TIMEOUT)
    set(W_TIMEOUT 600)
  endif()
  if(LAUNCHER_WINDOWS_BITS EQUAL 64)
    add_test(NAME ${W_NAME} COMMAND ${LAUNCHER_WINE} ${W_COMMAND})
    set_tests_properties(${W_NAME} PROPERTIES
      FIXTURES_REQUIRED wine
      ENVIRONMENT "${LAUNCHER_WINE_ENV};WINEPREFIX=${LAUNCHER_WINEPREFIX}"
      TIMEOUT ${W_TIMEOUT})
  elseif(LAUNCHER_WINDOWS_BITS EQUAL 32)
    add_test(NAME ${W_NAME}32 COMMAND ${LAUNCHER_RUN_32BIT} ${LAUNCHER_WINE} ${W_COMMAND})
    set_tests_properties(${W_NAME}32 PROPERTIES
      FIXTURES_REQUIRED wine32
      ENVIRONMENT "${LAUNCHER_WINE_ENV};WINEPREFIX=${LAUNCHER_WINEPREFIX32}"
      SKIP_RETURN_CODE ${LAUNCHER_SKIP_32BIT}
      TIMEOUT ${W_TIMEOUT})
  endif()
endfunction()

# Host tests that start Windows programs themselves (the end-to-end driver).
function(require_wine test_name)
  set_tests_properties(${test_name} PROPERTIES
    FIXTURES_REQUIRED wine
    ENVIRONMENT "${LAUNCHER_WINE_ENV};WINEPREFIX=${LAUNCHER_WINEPREFIX};LAUNCHER_WINE=${LAUNCHER_WINE}")
endfunction()

# add_host_test32(NAME <name> COMMAND <host program> [args...] [TIMEOUT s] [ENVIRONMENT v=x...])
# The same host driver run against the shipped i686 tree (build/win32) in the 32-bit prefix.
function(add_host_test32)
  cmake_parse_arguments(H "" "NAME;TIMEOUT" "COMMAND;ENVIRONMENT" ${ARGN})
  add_test(NAME ${H_NAME} COMMAND ${LAUNCHER_RUN_32BIT} ${H_COMMAND})
  set_tests_properties(${H_NAME} PROPERTIES
    FIXTURES_REQUIRED wine32
    SKIP_RETURN_CODE ${LAUNCHER_SKIP_32BIT}
    TIMEOUT ${H_TIMEOUT}
    ENVIRONMENT "${LAUNCHER_WINE_ENV};WINEPREFIX=${LAUNCHER_WINEPREFIX32};LAUNCHER_WINE=${LAUNCHER_WINE};LAUNCHER_WINDOWS_TREE=${CMAKE_SOURCE_DIR}/build/win32;${H_ENVIRONMENT}")
endfunction()
