# The Windows build's MSI packages and the signing of its programs.
#
#   cmake --build --preset windows --target msi
#
# writes qlx-native-host-<version>-x64.msi (per machine) and
# qlx-native-host-<version>-x64-per-user.msi into the build folder, made by
# wixl from resources/windows/qlx-native-host.wxs.in (cmake/msi_package.cmake).
#
# Signing: configure with -DQLX_SIGN_PKCS12=<.p12/.pfx> and
# -DQLX_SIGN_PASSWORD_FILE=<file holding the password> (and, optionally,
# -DQLX_SIGN_TIMESTAMP_URL=<RFC 3161 time-stamp server>): every program is
# signed right after it is linked, before anything packs it, and each MSI
# package after it is built (cmake/sign.cmake).  Include this file after
# every target is defined.

set(QLX_SIGN_PKCS12 "" CACHE FILEPATH "Code-signing certificate and key (.p12/.pfx); empty: nothing is signed")
set(QLX_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File that holds the password of QLX_SIGN_PKCS12")
set(QLX_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures; empty: none")

set(QLX_SIGN_ARGS)
if(QLX_SIGN_PKCS12 STREQUAL "")
  message(STATUS "Signing: off (configure with -DQLX_SIGN_PKCS12=<file> and -DQLX_SIGN_PASSWORD_FILE=<file> to sign)")
else()
  if(QLX_SIGN_PASSWORD_FILE STREQUAL "")
    message(FATAL_ERROR "QLX_SIGN_PKCS12 needs QLX_SIGN_PASSWORD_FILE, the file that holds its password")
  endif()
  foreach(file ${QLX_SIGN_PKCS12} ${QLX_SIGN_PASSWORD_FILE})
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "no such file: ${file}")
    endif()
  endforeach()
  find_program(QLX_OSSLSIGNCODE osslsigncode REQUIRED)
  set(QLX_SIGN_ARGS -DPKCS12=${QLX_SIGN_PKCS12} -DPASSWORD_FILE=${QLX_SIGN_PASSWORD_FILE}
                    -DTIMESTAMP_URL=${QLX_SIGN_TIMESTAMP_URL} -DOSSLSIGNCODE=${QLX_OSSLSIGNCODE})
  message(STATUS "Signing: every program and MSI package with ${QLX_SIGN_PKCS12}")
  # Stripping rewrites a program and drops its signature: the programs are
  # stripped when they are linked, and the archive leaves them as they are.
  qlx_executables_below(${PROJECT_SOURCE_DIR} programs)
  foreach(target ${programs})
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND ${CMAKE_STRIP} $<TARGET_FILE:${target}>
                       COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}> ${QLX_SIGN_ARGS}
                               -P ${PROJECT_SOURCE_DIR}/cmake/sign.cmake
                       VERBATIM)
  endforeach()
  set(CPACK_STRIP_FILES OFF)
endif()

find_program(QLX_WIXL wixl)
if(QLX_WIXL)
  set(QLX_MSI_FILES)
  foreach(scope machine user)
    if(scope STREQUAL "machine")
      set(file ${CMAKE_BINARY_DIR}/qlx-native-host-${PROJECT_VERSION}-x64.msi)
    else()
      set(file ${CMAKE_BINARY_DIR}/qlx-native-host-${PROJECT_VERSION}-x64-per-user.msi)
    endif()
    add_custom_command(
      OUTPUT ${file}
      COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
              -DBIN_DIR=$<TARGET_FILE_DIR:qlx-native-host> -DWORK_DIR=${CMAKE_BINARY_DIR}/packaging/msi-${scope}
              -DOUTPUT=${file} -DSCOPE=${scope} -DVERSION=${PROJECT_VERSION}
              "-DFIREFOX_ADDON_ID=${QLX_FIREFOX_ADDON_ID}" -DWIXL=${QLX_WIXL}
              -DSTRIP=${CMAKE_STRIP} -DPYTHON=${QLX_PYTHON} ${QLX_SIGN_ARGS}
              -P ${PROJECT_SOURCE_DIR}/cmake/msi_package.cmake
      DEPENDS qlx-native-host qlx-host-register ${PROJECT_SOURCE_DIR}/cmake/msi_package.cmake
              ${PROJECT_SOURCE_DIR}/cmake/manifests.cmake ${PROJECT_SOURCE_DIR}/cmake/sign.cmake
              ${PROJECT_SOURCE_DIR}/cmake/normalize_msi.py
              ${PROJECT_SOURCE_DIR}/resources/windows/qlx-native-host.wxs.in
              ${PROJECT_SOURCE_DIR}/docs/integrators.md ${PROJECT_SOURCE_DIR}/src/base/names.h
              ${PROJECT_SOURCE_DIR}/tools/qlx-host-register/browsers_windows.cpp
      COMMENT "Making ${file} with wixl"
      VERBATIM)
    list(APPEND QLX_MSI_FILES ${file})
  endforeach()
  add_custom_target(msi DEPENDS ${QLX_MSI_FILES})
else()
  message(STATUS "MSI packages: off (wixl, from Debian's wixl package, is missing)")
endif()

# The packages' tests under Wine's msiexec, in a build with tests.
if(QLX_WIXL AND TARGET qlx_tests)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/msi ${CMAKE_BINARY_DIR}/tests/msi)
endif()
