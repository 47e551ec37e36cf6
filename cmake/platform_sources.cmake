# The platform layer is chosen by file name: a file named *_posix.cpp (or
# *_posix_test.cpp) builds only for POSIX systems, *_windows.cpp (or
# *_windows_test.cpp) only for Windows.  Every other file builds everywhere.
#
#   qlx_platform_sources(<list variable>)
#
# removes the other platform's files from the list.
function(qlx_platform_sources list_var)
  if(WIN32)
    list(FILTER ${list_var} EXCLUDE REGEX "_posix(_test)?\\.cpp$")
  else()
    list(FILTER ${list_var} EXCLUDE REGEX "_windows(_test)?\\.cpp$")
  endif()
  set(${list_var} ${${list_var}} PARENT_SCOPE)
endfunction()
