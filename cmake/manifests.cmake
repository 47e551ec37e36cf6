# The native messaging host manifests that packages install beside the host,
# written as qlx-host-register writes them (sorted members, two-space indent).
# Included by the configure step (the Debian package) and by the MSI script
# (cmake/msi_package.cmake); needs QLX_SOURCE_DIR.
#
#   qlx_extension_id(<var>)
#     the QLX extension's id, the one that src/base/names.h names;
#   qlx_write_manifest(<file> chromium|firefox <host path> <allowed id>)
#     writes the manifest of that family: "allowed_origins" with the
#     extension's origin, or "allowed_extensions" with the add-on id.

function(qlx_extension_id out_var)
  file(STRINGS ${QLX_SOURCE_DIR}/src/base/names.h id_line REGEX "kQlxExtensionId = \"[a-p]+\"")
  string(REGEX REPLACE ".*\"([a-p]+)\".*" "\\1" id "${id_line}")
  if(NOT id MATCHES "^[a-p]+$")
    message(FATAL_ERROR "src/base/names.h names no kQlxExtensionId")
  endif()
  set(${out_var} ${id} PARENT_SCOPE)
endfunction()

function(qlx_write_manifest file family host id)
  if(family STREQUAL "firefox")
    set(list "allowed_extensions")
    set(entry "${id}")
  else()
    set(list "allowed_origins")
    set(entry "chrome-extension://${id}/")
  endif()
  string(REPLACE "\\" "\\\\" host_json "${host}")
  file(WRITE ${file}
       "{\n  \"${list}\": [\n    \"${entry}\"\n  ],\n"
       "  \"description\": \"QLX download manager: hands downloads from the browser to QLX\",\n"
       "  \"name\": \"com.velmont.qlx\",\n  \"path\": \"${host_json}\",\n  \"type\": \"stdio\"\n}")
endfunction()
