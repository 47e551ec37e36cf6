# The Windows build's MSI packages.
#
#   cmake --build --preset windows --target msi
#
# writes qlx-native-host-<version>-x64.msi (per machine) and
# qlx-native-host-<version>-x64-per-user.msi into the build folder, made by
# wixl from resources/windows/qlx-native-host.wxs.in (cmake/msi_package.cmake).
#
# A build configured for signing (cmake/signing.cmake) signs each package
# after it is made.  Include this file after every target is defined.

if(QLX_SIGN_ARGS)
  # Stripping rewrites a program and drops its signature: the programs were
  # stripped before they were signed, and the archive leaves them as they are.
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
