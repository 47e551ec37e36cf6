# The Debian package, included by check_packaging.cmake with DEB=ON (its
# variables: BUILD_DIR, CPACK, scratch, VERSION, EXTENSION_ID,
# FIREFOX_ADDON_ID, MAINTAINER).
set(deb ${scratch}/deb/qlx-native-host_${VERSION}_amd64.deb)
execute_process(COMMAND ${CPACK} -G DEB -B ${scratch}/deb --config ${BUILD_DIR}/CPackConfig.cmake
                WORKING_DIRECTORY ${scratch} RESULT_VARIABLE failed OUTPUT_VARIABLE log
                ERROR_VARIABLE log)
if(failed OR NOT EXISTS ${deb})
  message(FATAL_ERROR "cpack -G DEB made no ${deb}: ${log}")
endif()

# Every file with its mode and owner; links with their targets.
set(lib ./usr/lib/qlx-native-host)
set(link "-> /usr/lib/qlx-native-host/com.velmont.qlx.json")
set(expected_files
    "drwxr-xr-x root/root ./etc/"
    "drwxr-xr-x root/root ./etc/chromium/"
    "drwxr-xr-x root/root ./etc/chromium/native-messaging-hosts/"
    "lrwxrwxrwx root/root ./etc/chromium/native-messaging-hosts/com.velmont.qlx.json ${link}"
    "drwxr-xr-x root/root ./etc/opt/"
    "drwxr-xr-x root/root ./etc/opt/chrome/"
    "drwxr-xr-x root/root ./etc/opt/chrome/native-messaging-hosts/"
    "lrwxrwxrwx root/root ./etc/opt/chrome/native-messaging-hosts/com.velmont.qlx.json ${link}"
    "drwxr-xr-x root/root ./etc/opt/edge/"
    "drwxr-xr-x root/root ./etc/opt/edge/native-messaging-hosts/"
    "lrwxrwxrwx root/root ./etc/opt/edge/native-messaging-hosts/com.velmont.qlx.json ${link}"
    "drwxr-xr-x root/root ./usr/"
    "drwxr-xr-x root/root ./usr/lib/"
    "drwxr-xr-x root/root ${lib}/"
    "-rw-r--r-- root/root ${lib}/com.velmont.qlx.json"
    "-rwxr-xr-x root/root ${lib}/qlx-host-register"
    "-rwxr-xr-x root/root ${lib}/qlx-native-host"
    "drwxr-xr-x root/root ./usr/share/"
    "drwxr-xr-x root/root ./usr/share/doc/"
    "drwxr-xr-x root/root ./usr/share/doc/qlx-native-host/"
    "-rw-r--r-- root/root ./usr/share/doc/qlx-native-host/README.md"
    "-rw-r--r-- root/root ./usr/share/doc/qlx-native-host/changelog.gz"
    "-rw-r--r-- root/root ./usr/share/doc/qlx-native-host/copyright"
    "drwxr-xr-x root/root ./usr/share/lintian/"
    "drwxr-xr-x root/root ./usr/share/lintian/overrides/"
    "-rw-r--r-- root/root ./usr/share/lintian/overrides/qlx-native-host")
if(NOT FIREFOX_ADDON_ID STREQUAL "")
  list(APPEND expected_files "drwxr-xr-x root/root ./usr/lib/mozilla/"
       "drwxr-xr-x root/root ./usr/lib/mozilla/native-messaging-hosts/"
       "-rw-r--r-- root/root ./usr/lib/mozilla/native-messaging-hosts/com.velmont.qlx.json")
endif()
list(SORT expected_files)
execute_process(COMMAND dpkg-deb -c ${deb} RESULT_VARIABLE failed OUTPUT_VARIABLE listing
                ERROR_VARIABLE log)
if(failed)
  message(FATAL_ERROR "dpkg-deb -c failed: ${log}")
endif()
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" listing "${listing}")
set(files)
foreach(line ${listing})
  # "<mode> <owner> <size> <date> <time> <path>[ -> <target>]": drop size and time.
  string(REGEX REPLACE "^([^ ]+) ([^ ]+) +[0-9]+ [^ ]+ [^ ]+ (.*)$" "\\1 \\2 \\3" file "${line}")
  if(NOT file STREQUAL "drwxr-xr-x root/root ./")
    list(APPEND files "${file}")
  endif()
endforeach()
list(SORT files)
if(NOT files STREQUAL expected_files)
  string(REPLACE ";" "\n  " files "${files}")
  string(REPLACE ";" "\n  " expected_files "${expected_files}")
  message(FATAL_ERROR "${deb} holds:\n  ${files}\nexpected:\n  ${expected_files}")
endif()

# The control fields; a static host depends on nothing.
set(expected_fields
    "Package: qlx-native-host" "Version: ${VERSION}" "Architecture: amd64"
    "Maintainer: ${MAINTAINER}" "Section: web" "Priority: optional"
    "Description: Native messaging host of the QLX download manager")
foreach(field ${expected_fields})
  string(REGEX REPLACE ":.*" "" name "${field}")
  execute_process(COMMAND dpkg-deb -f ${deb} ${name} OUTPUT_VARIABLE value
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX REPLACE "\n.*" "" value "${value}")
  if(NOT "${name}: ${value}" STREQUAL field)
    message(FATAL_ERROR "${deb}: \"${name}: ${value}\", expected \"${field}\"")
  endif()
endforeach()
execute_process(COMMAND dpkg-deb -f ${deb} Depends Pre-Depends Recommends OUTPUT_VARIABLE value)
if(NOT value STREQUAL "")
  message(FATAL_ERROR "${deb} depends on something: ${value}")
endif()
execute_process(COMMAND dpkg-deb -f ${deb} Description OUTPUT_VARIABLE value)
if(NOT value MATCHES "\n [A-Z].*\n")
  message(FATAL_ERROR "${deb} has no long description: ${value}")
endif()

# lintian: no errors (warnings and notes are printed with the test's output).
execute_process(COMMAND lintian --fail-on error ${deb} RESULT_VARIABLE failed
                OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(failed)
  message(FATAL_ERROR "lintian ${deb}:\n${log}")
endif()
message(STATUS "lintian ${deb}: no errors\n${log}")

# The manifests' bytes, as qlx-host-register writes them.
set(root ${scratch}/root)
execute_process(COMMAND dpkg -x ${deb} ${root} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "dpkg -x ${deb} failed")
endif()
set(description "QLX download manager: hands downloads from the browser to QLX")
set(tail "  \"description\": \"${description}\",\n  \"name\": \"com.velmont.qlx\",\n"
         "  \"path\": \"/usr/lib/qlx-native-host/qlx-native-host\",\n  \"type\": \"stdio\"\n}")
string(JOIN "" chromium "{\n  \"allowed_origins\": [\n    \"chrome-extension://${EXTENSION_ID}/\"\n  ],\n"
       ${tail})
string(JOIN "" firefox "{\n  \"allowed_extensions\": [\n    \"${FIREFOX_ADDON_ID}\"\n  ],\n" ${tail})
# The links of the browsers' folders (checked above) lead to this one.
file(READ ${root}/usr/lib/qlx-native-host/com.velmont.qlx.json text)
if(NOT text STREQUAL chromium)
  message(FATAL_ERROR "the manifest in ${deb}:\n${text}\nexpected:\n${chromium}")
endif()
if(NOT FIREFOX_ADDON_ID STREQUAL "")
  file(READ ${root}/usr/lib/mozilla/native-messaging-hosts/com.velmont.qlx.json text)
  if(NOT text STREQUAL firefox)
    message(FATAL_ERROR "Firefox's manifest in ${deb}:\n${text}\nexpected:\n${firefox}")
  endif()
endif()

# Unpacked into a root of its own, the package's tool finds every browser
# that it registers reaching its host there (and nothing per user: HOME is
# empty, and no browser is installed: PATH holds an empty folder), and the
# host answers a ping.
file(MAKE_DIRECTORY ${scratch}/home ${scratch}/data ${scratch}/no-programs)
set(env ${CMAKE_COMMAND} -E env HOME=${scratch}/home XDG_DATA_HOME=${scratch}/data
        PATH=${scratch}/no-programs --unset=XDG_CONFIG_HOME)
set(lib_in_root ${root}/usr/lib/qlx-native-host)
execute_process(COMMAND ${env} ${lib_in_root}/qlx-host-register --check --root ${root}
                RESULT_VARIABLE failed OUTPUT_VARIABLE report ERROR_VARIABLE errors)
set(expected_report)
foreach(pair "Google Chrome;etc/opt/chrome" "Chromium;etc/chromium" "Microsoft Edge;etc/opt/edge")
  list(GET pair 0 browser)
  list(GET pair 1 folder)
  string(APPEND expected_report "${browser} (not installed): ok (per machine): ${root}/${folder}/"
         "native-messaging-hosts/com.velmont.qlx.json starts ${lib_in_root}/qlx-native-host\n")
endforeach()
set(firefox_manifest ${root}/usr/lib/mozilla/native-messaging-hosts/com.velmont.qlx.json)
if(FIREFOX_ADDON_ID STREQUAL "")
  string(APPEND expected_report "not installed: Brave, Vivaldi, Opera, Firefox\n")
else()
  string(APPEND expected_report "Firefox (not installed): ok (per machine): ${firefox_manifest} "
         "starts ${lib_in_root}/qlx-native-host\nnot installed: Brave, Vivaldi, Opera\n")
endif()
if(failed OR NOT errors STREQUAL "" OR NOT report STREQUAL expected_report)
  message(FATAL_ERROR "qlx-host-register --check --root ${root} exited with ${failed}:\n"
                      "${report}${errors}expected:\n${expected_report}")
endif()
execute_process(COMMAND ${env} ${NM_CLIENT} ${lib_in_root}/qlx-native-host "{\"type\":\"ping\"}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE session ERROR_VARIABLE errors)
set(expected_session "-> {\"type\":\"ping\"}\n<- {\"host\":\"com.velmont.qlx\",\"ok\":true,\"version\":\"${VERSION}\"}\nhost exited with code 0\n")
if(failed OR NOT session STREQUAL expected_session)
  message(FATAL_ERROR "the unpacked host did not answer ping:\n${session}${errors}")
endif()
