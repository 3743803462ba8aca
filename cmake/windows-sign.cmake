# Authenticode signatures for the Windows packages, when cpack is given TAVO_SIGN_CERT and
# TAVO_SIGN_KEY (scripts/package windows --sign CERT KEY); without them nothing is signed.
# Run by CPack before packing (the programs in the staging folder, so the installer and the zip
# carry signed programs) and after it (the installer), and by makensis for the uninstaller it
# writes (cmake -DTAVO_SIGN_FILE=... -P). No time stamp: the signatures hold while the
# certificate does, and signing needs no network.
if(NOT TAVO_SIGN_CERT)
  return()
endif()

function(tavo_sign file)
  execute_process(
    COMMAND osslsigncode sign -certs ${TAVO_SIGN_CERT} -key ${TAVO_SIGN_KEY}
            -n "Norrik Tavo Online" -h sha256 -in ${file} -out ${file}.signed
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "signing ${file} failed: ${output}")
  endif()
  file(RENAME ${file}.signed ${file})
endfunction()

if(TAVO_SIGN_FILE)
  tavo_sign(${TAVO_SIGN_FILE})
elseif(CPACK_PACKAGE_FILES)
  foreach(package ${CPACK_PACKAGE_FILES})
    if(package MATCHES "\\.exe$")
      tavo_sign(${package})
    endif()
  endforeach()
else()
  file(GLOB programs ${CPACK_TEMPORARY_DIRECTORY}/*.exe)
  foreach(program ${programs})
    tavo_sign(${program})
  endforeach()
endif()
