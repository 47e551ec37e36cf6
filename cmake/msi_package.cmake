# Makes one MSI package of the host with wixl, from the template
# resources/windows/qlx-native-host.wxs.in:
#
#   cmake -DSOURCE_DIR=<source tree> -DBIN_DIR=<folder of the two .exe files>
#         -DWORK_DIR=<scratch folder> -DOUTPUT=<file.msi> -DSCOPE=machine|user
#         -DVERSION=<x.y.z> [-DFIREFOX_ADDON_ID=<add-on id>] [-DWIXL=<wixl>]
#         [-DSTRIP=<strip>] [-DPYTHON=<python3>] [-DSIGN_PKCS12=<file> -DSIGN_PASSWORD_FILE=<file> [-DSIGN_TIMESTAMP_URL=<url>]
#          -DOSSLSIGNCODE=<osslsigncode>]
#         -P cmake/msi_package.cmake
#
# The build runs it for the two packages (cmake/msi.cmake); the tests run it
# for a package of another version.
#
# Per machine: [ProgramFiles64Folder]Velmont\QLX\ and the browsers' keys
# below HKLM\SOFTWARE.  Per user: [LocalAppDataFolder]Programs\Velmont\QLX\
# and the keys below HKCU\Software, without elevation.  INSTALLDIR moves the
# folder.  The manifests beside the host name it by a path relative to their
# own folder ("qlx-native-host.exe"), which both browser families accept on
# Windows, so no action has to write the install path into a file.
#
# A rebuild gives the same codes: the UpgradeCodes below are fixed for good
# (docs/windows-install.md); the ProductCode is a name-based UUID of the
# version and the scope; each component's GUID one of the scope and the
# component; the package code one of the package's contents
# (cmake/normalize_msi.py).
cmake_minimum_required(VERSION 3.25)

foreach(required SOURCE_DIR BIN_DIR WORK_DIR OUTPUT SCOPE VERSION)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "msi_package.cmake needs -D${required}=...")
  endif()
endforeach()
if(NOT VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "an MSI version has three numbers, not ${VERSION}")
endif()
if(NOT WIXL)
  set(WIXL wixl)
endif()

# Fixed for good: installing a package with the same UpgradeCode upgrades.
set(upgrade_code_machine 75A60D70-D93A-45E6-847D-CB3B12F03A33)
set(upgrade_code_user 5A511FCA-9526-4211-B24F-9B150237A24F)
# The namespace of the name-based UUIDs below.
set(namespace 18C6D093-6FD8-4838-9357-A68BB987DC4C)

if(SCOPE STREQUAL "machine")
  set(QLX_MSI_SCOPE perMachine)
  set(QLX_MSI_SCOPE_TEXT "per machine")
  set(root HKLM)
  set(software SOFTWARE)
  set(QLX_MSI_FOLDERS_OPEN
      "      <Directory Id=\"ProgramFiles64Folder\">\n"
      "        <Directory Id=\"VelmontFolder\" Name=\"Velmont\">")
  set(QLX_MSI_FOLDERS_CLOSE "        </Directory>\n      </Directory>")
elseif(SCOPE STREQUAL "user")
  set(QLX_MSI_SCOPE perUser)
  set(QLX_MSI_SCOPE_TEXT "per user")
  set(root HKCU)
  set(software Software)
  set(QLX_MSI_FOLDERS_OPEN
      "      <Directory Id=\"LocalAppDataFolder\">\n"
      "        <Directory Id=\"ProgramsFolder\" Name=\"Programs\">\n"
      "          <Directory Id=\"VelmontFolder\" Name=\"Velmont\">")
  set(QLX_MSI_FOLDERS_CLOSE
      "          </Directory>\n        </Directory>\n      </Directory>")
else()
  message(FATAL_ERROR "SCOPE is machine or user, not ${SCOPE}")
endif()
string(REPLACE ";" "" QLX_MSI_FOLDERS_OPEN "${QLX_MSI_FOLDERS_OPEN}")
string(REPLACE ";" "" QLX_MSI_FOLDERS_CLOSE "${QLX_MSI_FOLDERS_CLOSE}")
set(QLX_MSI_UPGRADE_CODE ${upgrade_code_${SCOPE}})
set(QLX_MSI_VERSION ${VERSION})
string(UUID QLX_MSI_PRODUCT_CODE NAMESPACE ${namespace} NAME "product ${SCOPE} ${VERSION}"
       TYPE SHA1 UPPER)

# The manifests beside the host.
set(QLX_SOURCE_DIR ${SOURCE_DIR})
include(${SOURCE_DIR}/cmake/manifests.cmake)
qlx_extension_id(extension_id)
file(MAKE_DIRECTORY ${WORK_DIR})
qlx_write_manifest(${WORK_DIR}/com.velmont.qlx.json chromium qlx-native-host.exe ${extension_id})
# The time of everything in the package: SOURCE_DATE_EPOCH (the caller's;
# else the last commit's; else 0).  The cabinet keeps each file's
# modification time (in UTC), and strip writes it into the PE header.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${SOURCE_DIR} log -1 --format=%ct OUTPUT_VARIABLE epoch
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed OR NOT epoch MATCHES "^[0-9]+$")
    set(epoch 0)
  endif()
endif()
# wixl takes each file from the folder it runs in: the package's files are
# gathered there, under their installed names.
file(COPY_FILE ${BIN_DIR}/qlx-native-host.exe ${WORK_DIR}/qlx-native-host.exe)
file(COPY_FILE ${BIN_DIR}/qlx-host-register.exe ${WORK_DIR}/qlx-host-register.exe)
file(COPY_FILE ${SOURCE_DIR}/docs/integrators.md ${WORK_DIR}/README.md)
# Unsigned programs are stripped here, as the archives strip them; signed
# ones were stripped before they were signed (cmake/msi.cmake).
if(STRIP AND NOT SIGN_PKCS12)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${epoch} ${STRIP} qlx-native-host.exe
                          qlx-host-register.exe
                  WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${STRIP} failed on the package's programs")
  endif()
endif()
set(components Host Register Readme Manifest Folder)
set(QLX_MSI_ROOT ${root})
set(QLX_MSI_OWN_KEY "${software}\\Velmont\\QLX native messaging host")
set(files qlx-native-host.exe qlx-host-register.exe README.md com.velmont.qlx.json)
set(QLX_MSI_FIREFOX_FILE "")
if(FIREFOX_ADDON_ID)
  qlx_write_manifest(${WORK_DIR}/com.velmont.qlx.firefox.json firefox qlx-native-host.exe
                     ${FIREFOX_ADDON_ID})
  list(APPEND components FirefoxManifest)
  list(APPEND files com.velmont.qlx.firefox.json)
  string(CONCAT QLX_MSI_FIREFOX_FILE
         "              <Component Id=\"FirefoxManifest\" Guid=\"@QLX_MSI_GUID_FirefoxManifest@\" Win64=\"yes\">\n"
         "                <File Id=\"FirefoxManifest\" Name=\"com.velmont.qlx.firefox.json\""
         " Source=\"com.velmont.qlx.firefox.json\" KeyPath=\"yes\"/>\n"
         "              </Component>")
else()
  file(REMOVE ${WORK_DIR}/com.velmont.qlx.firefox.json)
endif()

# Every Chromium-family browser that qlx-host-register --system knows (its
# table in browsers_windows.cpp), and Firefox when the add-on is named.
# A row begins {"<name>", BrowserFamily::kChromium, "<vendor key>", wherever
# clang-format breaks its lines.
file(READ ${SOURCE_DIR}/tools/qlx-host-register/browsers_windows.cpp table)
set(row_start "{\"[^\"]+\",[ \n]*BrowserFamily::kChromium,[ \n]*\"[^\"]+\"")
string(REGEX MATCHALL "${row_start}" rows "${table}")
set(keys)
foreach(row ${rows})
  string(REGEX REPLACE "^{\"([^\"]+)\",[ \n]*BrowserFamily::kChromium,[ \n]*\"([^\"]+)\"$"
                       "\\1|\\2" pair "${row}")
  string(REPLACE "\\\\" "\\" pair "${pair}")
  list(APPEND keys "${pair}|com.velmont.qlx.json")
endforeach()
list(LENGTH keys chromium_count)
if(chromium_count LESS 6)
  message(FATAL_ERROR "found ${chromium_count} browsers in browsers_windows.cpp, not the table of six or more")
endif()
if(FIREFOX_ADDON_ID)
  list(APPEND keys "Firefox|Mozilla|com.velmont.qlx.firefox.json")
endif()
set(QLX_MSI_KEYS "")
set(QLX_MSI_REFS "")
if(FIREFOX_ADDON_ID)
  set(QLX_MSI_REFS "      <ComponentRef Id=\"FirefoxManifest\"/>\n")
endif()
foreach(entry ${keys})
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 browser)
  list(GET fields 1 vendor)
  list(GET fields 2 manifest)
  string(MAKE_C_IDENTIFIER "Key_${browser}" id)
  list(APPEND components ${id})
  string(APPEND QLX_MSI_KEYS
         "      <Component Id=\"${id}\" Guid=\"@QLX_MSI_GUID_${id}@\" Win64=\"yes\">\n"
         "        <RegistryValue Root=\"${root}\" Key=\"${software}\\${vendor}\\NativeMessagingHosts\\com.velmont.qlx\""
         " Type=\"string\" Value=\"[INSTALLDIR]${manifest}\" KeyPath=\"yes\"/>\n"
         "      </Component>\n")
  string(APPEND QLX_MSI_REFS "      <ComponentRef Id=\"${id}\"/>\n")
endforeach()
string(REGEX REPLACE "\n$" "" QLX_MSI_KEYS "${QLX_MSI_KEYS}")
string(REGEX REPLACE "\n$" "" QLX_MSI_REFS "${QLX_MSI_REFS}")
foreach(component ${components})
  string(UUID QLX_MSI_GUID_${component} NAMESPACE ${namespace} NAME "component ${SCOPE} ${component}"
         TYPE SHA1 UPPER)
endforeach()

execute_process(COMMAND touch -d @${epoch} ${files} WORKING_DIRECTORY ${WORK_DIR}
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot set the time of the package's files")
endif()

# The fragments name their components' GUIDs as @QLX_MSI_GUID_<id>@.
foreach(fragment QLX_MSI_FIREFOX_FILE QLX_MSI_KEYS)
  string(CONFIGURE "${${fragment}}" ${fragment} @ONLY)
endforeach()
configure_file(${SOURCE_DIR}/resources/windows/qlx-native-host.wxs.in ${WORK_DIR}/package.wxs @ONLY)

file(REMOVE ${OUTPUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${WIXL} -a x64 -o ${OUTPUT} package.wxs WORKING_DIRECTORY ${WORK_DIR}
                RESULT_VARIABLE failed)
if(failed)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "wixl failed on ${WORK_DIR}/package.wxs")
endif()

# wixl writes the clock's time and a random package code into the summary
# information: they become SOURCE_DATE_EPOCH and a code named by the
# package's contents, so that a rebuild gives the same bytes (docs/release.md).
if(NOT PYTHON)
  set(PYTHON python3)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${epoch} ${PYTHON}
                        ${SOURCE_DIR}/cmake/normalize_msi.py ${OUTPUT} RESULT_VARIABLE failed)
if(failed)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "normalize_msi.py failed on ${OUTPUT}")
endif()

if(SIGN_PKCS12)
  execute_process(COMMAND ${CMAKE_COMMAND} -DFILE=${OUTPUT} -DPKCS12=${SIGN_PKCS12}
                          -DPASSWORD_FILE=${SIGN_PASSWORD_FILE} -DTIMESTAMP_URL=${SIGN_TIMESTAMP_URL}
                          -DOSSLSIGNCODE=${OSSLSIGNCODE} -P ${SOURCE_DIR}/cmake/sign.cmake
                  RESULT_VARIABLE failed)
  if(failed)
    file(REMOVE ${OUTPUT})
    message(FATAL_ERROR "signing ${OUTPUT} failed")
  endif()
endif()
