# Checks the include order of the folders below src/:
#
#   base <- platform <- store <- identity, handoff <- transfer <- host <- bin
#
# A file includes ("folder/...") only headers of its own folder and of folders
# to its left; identity and handoff stand side by side and include neither the
# other.  Nothing below src/ includes what lies outside it (the tools' and
# tests' child_process library among them).
#
#   cmake -DQLX_SOURCE_DIR=<folder that holds src/> -P check_layers.cmake
#
# Prints the folder graph with include counts; fails naming each wrong include.
if(NOT QLX_SOURCE_DIR)
  message(FATAL_ERROR "QLX_SOURCE_DIR is not set")
endif()

set(QLX_LAYERS base platform store identity handoff transfer host bin)
set(rank_base 0)
set(rank_platform 1)
set(rank_store 2)
set(rank_identity 3)
set(rank_handoff 3)
set(rank_transfer 4)
set(rank_host 5)
set(rank_bin 6)

file(GLOB_RECURSE files RELATIVE ${QLX_SOURCE_DIR}/src ${QLX_SOURCE_DIR}/src/*.h
     ${QLX_SOURCE_DIR}/src/*.cpp ${QLX_SOURCE_DIR}/src/*.h.in)
list(SORT files)
set(wrong 0)
set(edges "")
foreach(file IN LISTS files)
  string(REGEX MATCH "^[^/]+" from ${file})
  if(NOT DEFINED rank_${from})
    message(SEND_ERROR "src/${file}: folder ${from} has no place in the layer order")
    math(EXPR wrong "${wrong} + 1")
    continue()
  endif()
  file(STRINGS ${QLX_SOURCE_DIR}/src/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" header "${line}")
    if(NOT header MATCHES "/")
      message(SEND_ERROR "src/${file}: \"${header}\" names no folder")
      math(EXPR wrong "${wrong} + 1")
      continue()
    endif()
    string(REGEX MATCH "^[^/]+" to ${header})
    if(NOT to STREQUAL from)
      list(APPEND edges "${from} -> ${to}")
    endif()
    if(NOT DEFINED rank_${to})
      message(SEND_ERROR "src/${file}: \"${header}\" is outside src/")
      math(EXPR wrong "${wrong} + 1")
    elseif(NOT to STREQUAL from AND NOT rank_${to} LESS rank_${from})
      message(SEND_ERROR "src/${file}: ${from} includes ${to} (\"${header}\"), against the order")
      math(EXPR wrong "${wrong} + 1")
    endif()
  endforeach()
endforeach()

# The graph between folders, in layer order, with the number of includes.
foreach(from IN LISTS QLX_LAYERS)
  foreach(to IN LISTS QLX_LAYERS)
    set(count 0)
    foreach(edge IN LISTS edges)
      if(edge STREQUAL "${from} -> ${to}")
        math(EXPR count "${count} + 1")
      endif()
    endforeach()
    if(count GREATER 0)
      message("${from} -> ${to}: ${count}")
    endif()
  endforeach()
endforeach()

if(wrong GREATER 0)
  message(FATAL_ERROR "found ${wrong} includes against the layer order")
endif()
message("the layer order holds")
