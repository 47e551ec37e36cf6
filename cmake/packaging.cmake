# Installing and packaging.
#
# The archives (install component "archive", what `cmake --install` installs):
# everything lands in one folder, because the manifest that qlx-host-register
# writes and the download manager's executable both belong beside the host.
# CPack makes a zip for Windows and a tar.gz for Linux.
#
# The Debian package (component "deb", Linux only, `cpack -G DEB`): the host
# and qlx-host-register in /usr/lib/qlx-native-host/, the Chromium-family
# manifest beside them, linked from the system-wide folders of Chrome,
# Chromium and Edge, and Firefox's manifest in its system-wide folder when
# QLX_FIREFOX_ADDON_ID names the add-on.  They are files of the package, so
# that removing the package removes the registration.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND NOT WIN32)
  set(CMAKE_INSTALL_PREFIX /opt/qlx CACHE PATH "Install folder" FORCE)
endif()

install(TARGETS qlx-native-host qlx-host-register RUNTIME DESTINATION . COMPONENT archive)
install(FILES ${CMAKE_SOURCE_DIR}/docs/integrators.md DESTINATION . RENAME README.md
        COMPONENT archive)

if(WIN32)
  set(QLX_PACKAGE_GENERATOR ZIP)
  set(QLX_PACKAGE_SYSTEM windows)
else()
  set(QLX_PACKAGE_GENERATOR TGZ)
  set(QLX_PACKAGE_SYSTEM linux)
endif()
set(QLX_PACKAGE_FILE_NAME qlx-native-host-${PROJECT_VERSION}-${QLX_PACKAGE_SYSTEM})

# The Firefox add-on that the packages (the .deb, the MSI packages) register.
set(QLX_FIREFOX_ADDON_ID "" CACHE STRING
    "Firefox add-on id that the packages register (name@domain or {uuid}); empty: no Firefox manifest")
if(NOT QLX_FIREFOX_ADDON_ID STREQUAL ""
   AND NOT QLX_FIREFOX_ADDON_ID MATCHES "^[-._A-Za-z0-9]*@[-._A-Za-z0-9]+$"
   AND NOT QLX_FIREFOX_ADDON_ID MATCHES
       "^{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}}$")
  message(FATAL_ERROR "QLX_FIREFOX_ADDON_ID is not a Firefox add-on id: ${QLX_FIREFOX_ADDON_ID}")
endif()
# The extension that the packages let connect: the one in src/base/names.h.
set(QLX_SOURCE_DIR ${CMAKE_SOURCE_DIR})
include(${CMAKE_SOURCE_DIR}/cmake/manifests.cmake)
qlx_extension_id(QLX_EXTENSION_ID)

if(NOT WIN32)
  set(QLX_DEB_MAINTAINER "Velmont QLX team <qlx@velmont.com>" CACHE STRING
      "Maintainer field of the Debian package")

  set(deb_lib /usr/lib/qlx-native-host)
  set(deb_stage ${CMAKE_BINARY_DIR}/packaging/deb)
  file(REMOVE_RECURSE ${deb_stage})
  file(MAKE_DIRECTORY ${deb_stage}/links)
  # The manifests as qlx-host-register writes them.
  qlx_write_manifest(${deb_stage}/com.velmont.qlx.json chromium ${deb_lib}/qlx-native-host
                     ${QLX_EXTENSION_ID})
  install(TARGETS qlx-native-host qlx-host-register RUNTIME DESTINATION ${deb_lib} COMPONENT deb
          EXCLUDE_FROM_ALL)
  install(FILES ${deb_stage}/com.velmont.qlx.json DESTINATION ${deb_lib} COMPONENT deb
          EXCLUDE_FROM_ALL)
  # Chrome, Chromium and Edge read the system's hosts from below /etc, where
  # a package's plain files would be configuration files that outlive its
  # removal; links to the manifest beside the host go with the package.
  file(CREATE_LINK ${deb_lib}/com.velmont.qlx.json ${deb_stage}/links/com.velmont.qlx.json
       SYMBOLIC)
  foreach(folder /etc/opt/chrome/native-messaging-hosts /etc/chromium/native-messaging-hosts
                 /etc/opt/edge/native-messaging-hosts)
    install(FILES ${deb_stage}/links/com.velmont.qlx.json DESTINATION ${folder} COMPONENT deb
            EXCLUDE_FROM_ALL)
  endforeach()
  if(NOT QLX_FIREFOX_ADDON_ID STREQUAL "")
    qlx_write_manifest(${deb_stage}/firefox/com.velmont.qlx.json firefox
                       ${deb_lib}/qlx-native-host ${QLX_FIREFOX_ADDON_ID})
    install(FILES ${deb_stage}/firefox/com.velmont.qlx.json
            DESTINATION /usr/lib/mozilla/native-messaging-hosts COMPONENT deb EXCLUDE_FROM_ALL)
  endif()

  # Debian's documentation files: the integrators' guide, the copyright and
  # the changelog (compressed as Debian wants it: gzip -9n, no time stamp).
  set(doc /usr/share/doc/qlx-native-host)
  configure_file(${CMAKE_SOURCE_DIR}/resources/debian/changelog.in ${deb_stage}/changelog @ONLY)
  execute_process(COMMAND gzip -9nf ${deb_stage}/changelog RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip failed on the Debian changelog")
  endif()
  install(FILES ${deb_stage}/changelog.gz ${CMAKE_SOURCE_DIR}/resources/debian/copyright
          DESTINATION ${doc} COMPONENT deb EXCLUDE_FROM_ALL)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/integrators.md DESTINATION ${doc} RENAME README.md
          COMPONENT deb EXCLUDE_FROM_ALL)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/lintian-overrides
          DESTINATION /usr/share/lintian/overrides RENAME qlx-native-host COMPONENT deb
          EXCLUDE_FROM_ALL)

  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QLX_DEB_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION web)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The programs are static: no Depends.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_PACKAGE_DESCRIPTION
      "Chromium-family browsers and Firefox start this host when the QLX extension\n"
      "connects to com.velmont.qlx. It hands URLs and browser-generated files\n"
      "to the QLX download manager through files in the user's data folder.\n"
      "The package registers the host system-wide with Chrome, Chromium and Edge\n"
      "(and Firefox, when built with the add-on's id) for the QLX extension.")
  string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
endif()

# Python rewrites the archives and the MSI packages so that a rebuild gives
# the same bytes (docs/release.md).
find_program(QLX_PYTHON python3 REQUIRED)

# The MSI packages and the signing of the programs (Windows).
if(WIN32)
  include(${CMAKE_SOURCE_DIR}/cmake/msi.cmake)
endif()

set(CPACK_GENERATOR ${QLX_PACKAGE_GENERATOR})
set(CPACK_PACKAGE_NAME qlx-native-host)
set(CPACK_PACKAGE_VENDOR Velmont)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Native messaging host of the QLX download manager")
set(CPACK_PACKAGE_FILE_NAME ${QLX_PACKAGE_FILE_NAME})
if(NOT DEFINED CPACK_STRIP_FILES)
  set(CPACK_STRIP_FILES ON)
endif()
# The archives' bytes follow from their members alone (cmake/normalize_archives.cmake).
set(CPACK_QLX_PYTHON ${QLX_PYTHON})
set(CPACK_QLX_NORMALIZE_ARCHIVE ${CMAKE_SOURCE_DIR}/cmake/normalize_archive.py)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/normalize_archives.cmake)
# Each generator packs its own component (cmake/cpack_components.cmake.in).
configure_file(${CMAKE_SOURCE_DIR}/cmake/cpack_components.cmake.in
               ${CMAKE_BINARY_DIR}/cpack_components.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/cpack_components.cmake)
include(CPack)

# The installed folder and the archive hold exactly the host, the register
# tool and the README; a static Linux build's programs need no shared
# library; on Linux, the Debian package too (see check_packaging.cmake).
if(BUILD_TESTING)
  if(QLX_STATIC_LINK_OPTIONS)
    set(QLX_PACKAGE_STATIC ON)
  else()
    set(QLX_PACKAGE_STATIC OFF)
  endif()
  add_test(NAME packaging_layout
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                   -DSUFFIX=${CMAKE_EXECUTABLE_SUFFIX} -DGENERATOR=${QLX_PACKAGE_GENERATOR}
                   -DPACKAGE=${QLX_PACKAGE_FILE_NAME} -DCPACK=${CMAKE_CPACK_COMMAND}
                   -DSTATIC=${QLX_PACKAGE_STATIC} -DDEB=${QLX_PACKAGE_STATIC}
                   -DVERSION=${PROJECT_VERSION} -DEXTENSION_ID=${QLX_EXTENSION_ID}
                   "-DFIREFOX_ADDON_ID=${QLX_FIREFOX_ADDON_ID}" "-DMAINTAINER=${QLX_DEB_MAINTAINER}"
                   -DNM_CLIENT=$<TARGET_FILE:qlx-nm-client>
                   -P ${CMAKE_SOURCE_DIR}/cmake/check_packaging.cmake)
endif()
