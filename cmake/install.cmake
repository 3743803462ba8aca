# What `cmake --install` puts where, the CMake package of the network library (TavoNet, target
# Tavo::net), and the packages made by CPack (scripts/package): the Debian package, and on
# Windows the installer and the portable zip (cmake/windows-package.cmake).
include(CMakePackageConfigHelpers)

# --- programs ------------------------------------------------------------------------------
# The component "programs" is what a user gets; the Windows packages hold it alone. On Windows
# the programs sit at the top of the install folder, as Windows programs do.
if(WIN32)
  set(TAVO_PROGRAM_DIR .)
else()
  set(TAVO_PROGRAM_DIR ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET tavo-online)
  install(TARGETS tavo-online RUNTIME DESTINATION ${TAVO_PROGRAM_DIR} COMPONENT programs)
  if(NOT WIN32)
    install(FILES resources/tavo-online.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES resources/tavo-online.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  endif()
endif()
install(TARGETS tavo-ftp RUNTIME DESTINATION ${TAVO_PROGRAM_DIR} COMPONENT programs)
if(NOT WIN32)
  install(FILES docs/tavo-ftp.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# --- the network library -------------------------------------------------------------------
# A user of the library needs these headers and the ones they include: nothing of resources/,
# and of platform/ only the socket numbers (the install check compiles each of them on its own).
set(TAVO_NET_PUBLIC_HEADERS
  net/ftp/ftp.h net/ftp/listing.h net/ftp/simple_server.h
  net/stack/exceptions.h net/stack/socket_handle.h net/stack/stack.h
  net/tcp/antifreeze.h net/tcp/buffer.h net/tcp/component.h net/tcp/connection.h
  net/tcp/intercept.h net/tcp/iohandler.h net/tcp/reply.h net/tcp/socks_info.h
  net/tls/tls.h
  platform/socket_numbers.h
  rtl/component.h rtl/datetime.h rtl/exception.h rtl/format.h rtl/packed_lines.h
  rtl/persistent.h rtl/streams.h rtl/strings.h)
# They install below include/tavo and name each other from there (#include <tavo/net/tcp/...>),
# so a user writes #include <tavo/net/ftp/ftp.h> with the package's include folder alone, and
# no "net/" or "rtl/" folder of the user's own can be taken for ours. In the tree the includes
# stay short: the installed copies are rewritten here, at configure time.
foreach(header ${TAVO_NET_PUBLIC_HEADERS})
  file(READ ${CMAKE_CURRENT_SOURCE_DIR}/${header} text)
  string(REGEX REPLACE "#include \"((net|rtl|platform)/[^\"]+)\"" "#include <tavo/\\1>" text
         "${text}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/installed-headers/${header} "${text}")
  get_filename_component(dir ${header} DIRECTORY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/installed-headers/${header}
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tavo/${dir})
endforeach()
list(TRANSFORM TAVO_NET_PUBLIC_HEADERS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/
     OUTPUT_VARIABLE TAVO_NET_PUBLIC_HEADER_PATHS)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TAVO_NET_PUBLIC_HEADER_PATHS})

# Exported under their own names (Tavo::tavo_net, ...), as the demo build's export of the same
# targets needs them; the package's config adds the short name Tavo::net.
install(TARGETS tavo_net tavo_platform tavo_rtl tavo_include EXPORT TavoNetTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
set(TAVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/TavoNet)
install(EXPORT TavoNetTargets NAMESPACE Tavo:: DESTINATION ${TAVO_CMAKE_DIR})
configure_package_config_file(cmake/TavoNetConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TavoNetConfig.cmake INSTALL_DESTINATION ${TAVO_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TavoNetConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/TavoNetConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/TavoNetConfigVersion.cmake
        DESTINATION ${TAVO_CMAKE_DIR})

# --- packages ------------------------------------------------------------------------------
set(CPACK_PACKAGE_NAME "norrik-tavo-online")
set(CPACK_PACKAGE_VENDOR "Norrik")
set(CPACK_PACKAGE_CONTACT "Norrik software <software@tavo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Updater launcher for Norrik measuring instruments, tavo-ftp and the network library")
set(CPACK_PACKAGE_DESCRIPTION
  "tavo-online fetches the firmware updater of an instrument family from the maker's FTP\n\
server and starts it. tavo-ftp is a command-line FTP downloader (passive and active mode,\n\
resume, explicit TLS, FTP and SOCKS proxies, listings). The static network library and its CMake package\n\
(find_package(TavoNet)) are included for programs of one's own.")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  include(cmake/windows-package.cmake)   # the installer and the portable zip
else()
  set(CPACK_GENERATOR "DEB")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from the shared libraries actually linked
  # Not linked but used: the desktop's opener for the web link and non-program files, and a
  # font metric-compatible with the one the window's layout was drawn for. A program built
  # against the library's CMake package links OpenSSL too, so it needs OpenSSL's development
  # files (the programs themselves need only libssl3, which Depends names).
  if(TAVO_WITH_TLS)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-liberation, libssl-dev")
  else()
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-liberation")
  endif()
endif()
include(CPack)
