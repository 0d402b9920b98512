# The release version, kept in the file VERSION at the top of the tree and nowhere else:
# mediapack prints it, the launcher's version information carries it, and the release
# archives and the Debian package are named after it. Three numbers, each at most 65535,
# so that it is at once a Windows file version (with a fourth part 0) and a Debian version.
file(STRINGS ${CMAKE_SOURCE_DIR}/VERSION LAUNCHER_VERSION LIMIT_COUNT 1)
string(STRIP "${LAUNCHER_VERSION}" LAUNCHER_VERSION)
if(NOT LAUNCHER_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "VERSION holds \"${LAUNCHER_VERSION}\"; it must be three numbers such as 1.2.3")
endif()
set(LAUNCHER_VERSION_MAJOR ${CMAKE_MATCH_1})
set(LAUNCHER_VERSION_MINOR ${CMAKE_MATCH_2})
set(LAUNCHER_VERSION_PATCH ${CMAKE_MATCH_3})
foreach(part MAJOR MINOR PATCH)
  if(LAUNCHER_VERSION_${part} GREATER 65535)
    message(FATAL_ERROR "VERSION ${LAUNCHER_VERSION}: each number must be at most 65535")
  endif()
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/VERSION)

# One generated header, read by C++ and by the resource compiler alike (only #defines).
# Every target of the tree sees it, the launcher's resource script included.
set(LAUNCHER_GENERATED_INCLUDE ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_SOURCE_DIR}/cmake/launcher_version.h.in ${LAUNCHER_GENERATED_INCLUDE}/launcher_version.h @ONLY)
include_directories(${LAUNCHER_GENERATED_INCLUDE})
