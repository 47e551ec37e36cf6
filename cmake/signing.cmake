# Signing the Windows build's programs and packages with Authenticode
# (osslsigncode, cmake/sign.cmake).  Configure with
#
#   -DQLX_SIGN_PKCS12=<.p12/.pfx file> -DQLX_SIGN_PASSWORD_FILE=<file holding its password>
#   [-DQLX_SIGN_TIMESTAMP_URL=<RFC 3161 time-stamp server>]
#
# and every program is stripped and signed as the last step of its link,
# before anything packs it; cmake/msi.cmake signs each MSI package after it
# is made.  Without QLX_SIGN_PKCS12 nothing is signed.  Include this file
# before any program is defined: it changes the link rule.

set(QLX_SIGN_PKCS12 "" CACHE FILEPATH "Code-signing certificate and key (.p12/.pfx); empty: nothing is signed")
set(QLX_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File that holds the password of QLX_SIGN_PKCS12")
set(QLX_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures; empty: none")

set(QLX_SIGN_ARGS)
if(QLX_SIGN_PKCS12 STREQUAL "")
  message(STATUS "Signing: off (configure with -DQLX_SIGN_PKCS12=<file> and -DQLX_SIGN_PASSWORD_FILE=<file> to sign)")
  return()
endif()
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

# Stripping after signing would drop the signature: strip, then sign.
set(sign_command "\"${CMAKE_STRIP}\" <TARGET> && \"${CMAKE_COMMAND}\"")
foreach(argument ${QLX_SIGN_ARGS})
  string(APPEND sign_command " \"${argument}\"")
endforeach()
string(APPEND sign_command " -DFILE=<TARGET> -P \"${PROJECT_SOURCE_DIR}/cmake/sign.cmake\"")
foreach(language C CXX)
  set(CMAKE_${language}_LINK_EXECUTABLE "${CMAKE_${language}_LINK_EXECUTABLE} && ${sign_command}")
endforeach()
