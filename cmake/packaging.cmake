# Installing and packaging.  Everything lands in one folder: the manifest that
# qlx-host-register writes and the download manager's executable both belong
# beside the host.  CPack makes a zip for Windows and a tar.gz for Linux.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND NOT WIN32)
  set(CMAKE_INSTALL_PREFIX /opt/qlx CACHE PATH "Install folder" FORCE)
endif()

install(TARGETS qlx-native-host qlx-host-register RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/docs/integrators.md DESTINATION . RENAME README.md)

if(WIN32)
  set(QLX_PACKAGE_GENERATOR ZIP)
  set(QLX_PACKAGE_SYSTEM windows)
else()
  set(QLX_PACKAGE_GENERATOR TGZ)
  set(QLX_PACKAGE_SYSTEM linux)
endif()
set(QLX_PACKAGE_FILE_NAME qlx-native-host-${PROJECT_VERSION}-${QLX_PACKAGE_SYSTEM})
set(CPACK_GENERATOR ${QLX_PACKAGE_GENERATOR})
set(CPACK_PACKAGE_NAME qlx-native-host)
set(CPACK_PACKAGE_VENDOR Velmont)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Native messaging host of the QLX download manager")
set(CPACK_PACKAGE_FILE_NAME ${QLX_PACKAGE_FILE_NAME})
set(CPACK_STRIP_FILES ON)
include(CPack)

if(NOT QLX_FUZZ)
  # The installed folder and the archive hold exactly the host, the register
  # tool and the README; a static Linux build's programs need no shared library.
  if(QLX_STATIC_LINK_OPTIONS)
    set(QLX_PACKAGE_STATIC ON)
  else()
    set(QLX_PACKAGE_STATIC OFF)
  endif()
  add_test(NAME packaging_layout
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                   -DSUFFIX=${CMAKE_EXECUTABLE_SUFFIX} -DGENERATOR=${QLX_PACKAGE_GENERATOR}
                   -DPACKAGE=${QLX_PACKAGE_FILE_NAME} -DCPACK=${CMAKE_CPACK_COMMAND}
                   -DSTATIC=${QLX_PACKAGE_STATIC} -P ${CMAKE_SOURCE_DIR}/cmake/check_packaging.cmake)
endif()
