# Windows programs that say who they are: every executable of the project gets
# a version resource (product, description, company, file and product version
# from the project's version, original file name) and the application manifest
# resources/windows/program.manifest, compiled by windres from one
# resources/windows/program.rc.in.
#
#   set_target_properties(<target> PROPERTIES QLX_DESCRIPTION "<what it is>")
#
# names what a program is (Explorer's "File description"); programs without
# one are described as the project's test programs.  Include this file after
# every target is defined: qlx_windows_resources() goes through them all.

set(QLX_RC_COMPANY Velmont)
set(QLX_RC_PRODUCT "QLX native messaging host")
# Windows versions have four numbers: 1.0.7 is 1.0.7.0.
set(QLX_RC_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
if(PROJECT_VERSION_TWEAK STREQUAL "")
  string(APPEND QLX_RC_VERSION .0)
else()
  string(APPEND QLX_RC_VERSION .${PROJECT_VERSION_TWEAK})
endif()
string(REPLACE . , QLX_RC_VERSION_COMMAS ${QLX_RC_VERSION})
set(QLX_RC_MANIFEST ${PROJECT_SOURCE_DIR}/resources/windows/program.manifest)

# The executables defined in `dir` and the folders below it.
function(qlx_executables_below dir out_var)
  set(found)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    # Only the project's own folders: GoogleTest's build is not ours.
    cmake_path(IS_PREFIX PROJECT_SOURCE_DIR ${subdir} NORMALIZE ours)
    if(ours)
      qlx_executables_below(${subdir} below)
      list(APPEND found ${below})
    endif()
  endforeach()
  set(${out_var} ${found} PARENT_SCOPE)
endfunction()

function(qlx_windows_resources)
  qlx_executables_below(${PROJECT_SOURCE_DIR} programs)
  foreach(target ${programs})
    get_target_property(QLX_RC_DESCRIPTION ${target} QLX_DESCRIPTION)
    if(NOT QLX_RC_DESCRIPTION)
      set(QLX_RC_DESCRIPTION "Test program of the QLX native messaging host")
    endif()
    get_target_property(QLX_RC_NAME ${target} OUTPUT_NAME)
    if(NOT QLX_RC_NAME)
      set(QLX_RC_NAME ${target})
    endif()
    set(QLX_RC_FILE_NAME ${QLX_RC_NAME}${CMAKE_EXECUTABLE_SUFFIX})
    set(rc ${CMAKE_BINARY_DIR}/generated/resources/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/resources/windows/program.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    # The manifest is compiled in: a change to it rebuilds the resource.
    set_property(SOURCE ${rc} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS
                 ${QLX_RC_MANIFEST})
  endforeach()
endfunction()

qlx_windows_resources()
