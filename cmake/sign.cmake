# Signs one file (an .exe or an .msi) in place with Authenticode:
#
#   cmake -DFILE=<file> -DPKCS12=<.p12/.pfx> -DPASSWORD_FILE=<file>
#         [-DTIMESTAMP_URL=<RFC 3161 time-stamp server>] [-DOSSLSIGNCODE=<osslsigncode>]
#         -P cmake/sign.cmake
#
# The certificate's password is read from PASSWORD_FILE by osslsigncode
# itself (-readpass): it never stands on a command line.  The signed file
# replaces the unsigned one only when signing succeeded.
cmake_minimum_required(VERSION 3.25)
foreach(required FILE PKCS12 PASSWORD_FILE)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "sign.cmake needs -D${required}=...")
  endif()
endforeach()
if(NOT OSSLSIGNCODE)
  set(OSSLSIGNCODE osslsigncode)
endif()
set(timestamp)
if(TIMESTAMP_URL)
  set(timestamp -ts ${TIMESTAMP_URL})
endif()
set(signed ${FILE}.signing)
file(REMOVE ${signed})
execute_process(COMMAND ${OSSLSIGNCODE} sign -pkcs12 ${PKCS12} -readpass ${PASSWORD_FILE} -h sha256
                        -n "QLX native messaging host" -i https://www.velmont.com/ ${timestamp}
                        -in ${FILE} -out ${signed}
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
  file(REMOVE ${signed})
  message(FATAL_ERROR "osslsigncode could not sign ${FILE}:\n${output}")
endif()
file(RENAME ${signed} ${FILE})
