# The file name chooses the platform: *_win.cpp (and *_win_test.cpp) only in the Windows
# trees, *_posix.cpp (and *_posix_test.cpp) only on the host, everything else in both.
#
#   platform_sources(<out> <glob> [RECURSE] [EXCLUDE <regex>])
# sets <out> to the files matching <glob> (in subdirectories too with RECURSE) for this
# platform, leaving out names that match <regex>.
function(platform_sources out pattern)
  cmake_parse_arguments(PARSE_ARGV 2 arg "RECURSE" "EXCLUDE" "")
  if(arg_RECURSE)
    file(GLOB_RECURSE all CONFIGURE_DEPENDS ${pattern})
  else()
    file(GLOB all CONFIGURE_DEPENDS ${pattern})
  endif()
  set(chosen)
  foreach(f ${all})
    get_filename_component(name ${f} NAME)
    if(arg_EXCLUDE AND name MATCHES "${arg_EXCLUDE}")
      continue()
    elseif(name MATCHES "_win(_test)?\\.cpp$" AND NOT WIN32)
      continue()
    elseif(name MATCHES "_posix(_test)?\\.cpp$" AND WIN32)
      continue()
    endif()
    list(APPEND chosen ${f})
  endforeach()
  set(${out} ${chosen} PARENT_SCOPE)
endfunction()
