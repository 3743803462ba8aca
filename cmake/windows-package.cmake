# The Windows packages (scripts/package windows): a 64-bit installer made by CPack's NSIS
# generator from a script of our own (cmake/nsis/NSIS.template.in) and a portable zip, both with
# the component "programs" alone: tavo-online.exe, tavo-ftp.exe, README.txt and
# THIRD-PARTY-NOTICES.txt.

# Texts for Windows get CR LF line ends (older Notepads show bare LF as one long line) and a
# UTF-8 byte order mark (without it they read the system code page).
string(ASCII 239 187 191 tavo_utf8_bom)
function(tavo_install_windows_text source name)
  file(READ ${PROJECT_SOURCE_DIR}/${source} text)
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${CMAKE_BINARY_DIR}/windows-texts/${name} "${tavo_utf8_bom}${text}")
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/${source})
  install(FILES ${CMAKE_BINARY_DIR}/windows-texts/${name} DESTINATION . COMPONENT programs)
endfunction()
tavo_install_windows_text(README.md README.txt)
tavo_install_windows_text(resources/third-party-notices.txt THIRD-PARTY-NOTICES.txt)

set(CPACK_GENERATOR "NSIS;ZIP")
# Only what a user gets; the library's headers, archives and CMake package stay out.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};programs;/")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Norrik Tavo Online")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "NorrikTavoOnline")
# CPack's own NSIS script installs for all users with administrator rights, offers PATH changes
# and asks its own questions in English; ours installs per user, in German or English, and
# upgrades in place.
set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake/nsis)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/tavo-online.ico)
set(CPACK_NSIS_URL_INFO_ABOUT ${TAVO_WEB_ADDRESS})
# Signing (only when cpack is given TAVO_SIGN_CERT and TAVO_SIGN_KEY): the programs before
# they are packed, the installer after.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/windows-sign.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/windows-sign.cmake)
