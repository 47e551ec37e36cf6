# Run by cpack after each generator (CPACK_POST_BUILD_SCRIPTS): CPack packs
# an archive's members in the order the file system lists them, so the zip
# and the tar.gz are rewritten in name order with fixed times and owners
# (cmake/normalize_archive.py).  The Debian package is sound as CPack makes it.
foreach(file IN LISTS CPACK_PACKAGE_FILES)
  if(file MATCHES "\\.(tar\\.gz|zip)$")
    execute_process(COMMAND ${CPACK_QLX_PYTHON} ${CPACK_QLX_NORMALIZE_ARCHIVE} ${file}
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "normalize_archive.py failed on ${file}")
    endif()
  endif()
endforeach()
