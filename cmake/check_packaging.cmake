# Installs the build into a scratch folder, packs it with CPack, and checks
# that both hold exactly the host, the register tool and the README (the
# archive in name order, owned by root, of the time SOURCE_DATE_EPOCH); with
# STATIC=ON, that the packed programs need no shared library at all.  With
# DEB=ON, also the Debian package: its files (dpkg-deb -c), its control
# fields, the manifests' bytes, lintian, and the unpacked package as a root
# that qlx-host-register --check --root passes.
#   cmake -DBUILD_DIR=... -DSUFFIX=.exe|"" -DGENERATOR=ZIP|TGZ -DPACKAGE=<file name> [-DSTATIC=ON]
#         [-DDEB=ON -DVERSION=1.0.7 -DEXTENSION_ID=<id> -DFIREFOX_ADDON_ID=<id or empty>
#          -DMAINTAINER=<field>] -P check_packaging.cmake
set(scratch ${BUILD_DIR}/packaging-check)
file(REMOVE_RECURSE ${scratch})
file(MAKE_DIRECTORY ${scratch})

set(expected README.md qlx-host-register${SUFFIX} qlx-native-host${SUFFIX})
list(SORT expected)

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${scratch}/installed
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install failed")
endif()
file(GLOB_RECURSE installed RELATIVE ${scratch}/installed ${scratch}/installed/*)
list(SORT installed)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed: ${installed}; expected: ${expected}")
endif()

# Packed at a fixed time (SOURCE_DATE_EPOCH, as scripts/release packs).
set(epoch 1700000000)
set(epoch_text "14 Nov +2023")
execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${epoch} ${CPACK} -G ${GENERATOR}
                        -B ${scratch}/package --config ${BUILD_DIR}/CPackConfig.cmake
                WORKING_DIRECTORY ${scratch} RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(failed)
  message(FATAL_ERROR "cpack failed: ${log}")
endif()
if(GENERATOR STREQUAL "ZIP")
  set(archive ${scratch}/package/${PACKAGE}.zip)
else()
  set(archive ${scratch}/package/${PACKAGE}.tar.gz)
endif()
if(NOT EXISTS ${archive})
  message(FATAL_ERROR "no package ${archive}: ${log}")
endif()
file(MAKE_DIRECTORY ${scratch}/unpacked)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${archive} WORKING_DIRECTORY ${scratch}/unpacked
                RESULT_VARIABLE failed)
file(GLOB_RECURSE packed RELATIVE ${scratch}/unpacked/${PACKAGE} ${scratch}/unpacked/${PACKAGE}/*)
list(SORT packed)
if(failed OR NOT packed STREQUAL expected)
  message(FATAL_ERROR "${archive} holds: ${packed}; expected: ${expected}")
endif()
# The members in name order, owned by root, each with the time
# SOURCE_DATE_EPOCH, whatever order the file system listed them in
# (cmake/normalize_archive.py): the archive's bytes follow from its members.
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${CMAKE_COMMAND} -E tar tvf ${archive}
                OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" listing "${listing}")
set(members)
foreach(line ${listing})
  if(NOT line MATCHES "^-rw[-x]r-[-x]r-[-x] +[0-9]+ (0|root) +(0|root) +[0-9]+ ${epoch_text} ${PACKAGE}/([^/]+)$")
    message(FATAL_ERROR "${archive}: a member not owned by root or not of the time ${epoch}: ${line}")
  endif()
  list(APPEND members ${CMAKE_MATCH_3})
endforeach()
if(failed OR NOT members STREQUAL expected)
  message(FATAL_ERROR "${archive} holds, in this order: ${members}; expected: ${expected}")
endif()
if(STATIC)
  foreach(program qlx-native-host${SUFFIX} qlx-host-register${SUFFIX})
    file(GET_RUNTIME_DEPENDENCIES EXECUTABLES ${scratch}/unpacked/${PACKAGE}/${program}
         RESOLVED_DEPENDENCIES_VAR found UNRESOLVED_DEPENDENCIES_VAR missing)
    if(found OR missing)
      message(FATAL_ERROR "${program} in ${archive} needs shared libraries: ${found} ${missing}")
    endif()
  endforeach()
endif()
message(STATUS "${archive}: ${packed}")
if(DEB)
  include(${CMAKE_CURRENT_LIST_DIR}/check_deb.cmake)
endif()
file(REMOVE_RECURSE ${scratch})
