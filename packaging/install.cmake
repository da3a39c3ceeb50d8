# Install layout and the Debian package.
#
#   bin/brimocnc                                  the program
#   share/brimocnc/gcodes/                        sample programs (File > Open starts here)
#   share/applications/brimocnc.desktop           "Open with BrimoCNC"
#   share/icons/hicolor/scalable/apps/brimocnc.svg
#   share/mime/packages/brimocnc.xml              text/x-gcode: *.nc *.ngc *.tap *.gcode
#   share/man/man1/brimocnc.1.gz
#
# The program finds the samples at ../share/brimocnc/gcodes from its own
# folder, so any prefix works. Settings are per user (~/.config/brimocnc),
# never under the prefix.
include(GNUInstallDirs)

if(TARGET brimocnc)
  install(TARGETS brimocnc RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/gcodes/ DESTINATION ${CMAKE_INSTALL_DATADIR}/brimocnc/gcodes)

if(UNIX AND NOT APPLE)
  set(_pkg ${CMAKE_SOURCE_DIR}/packaging)
  install(FILES ${_pkg}/brimocnc.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${_pkg}/brimocnc.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${_pkg}/brimocnc-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME brimocnc.xml)
  # The man page carries the version; gzip -n keeps the package reproducible.
  configure_file(${_pkg}/brimocnc.1.in ${CMAKE_BINARY_DIR}/brimocnc.1 @ONLY)
  find_program(BRIMO_GZIP gzip)
  if(BRIMO_GZIP)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/brimocnc.1.gz
                       COMMAND ${BRIMO_GZIP} -9nc ${CMAKE_BINARY_DIR}/brimocnc.1 >
                               ${CMAKE_BINARY_DIR}/brimocnc.1.gz
                       DEPENDS ${_pkg}/brimocnc.1.in VERBATIM)
    add_custom_target(brimo_man ALL DEPENDS ${CMAKE_BINARY_DIR}/brimocnc.1.gz)
    install(FILES ${CMAKE_BINARY_DIR}/brimocnc.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(FILES ${CMAKE_BINARY_DIR}/brimocnc.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endif()

# ---- cpack -G DEB: a Debian 12 package. The library dependencies come from
# dpkg-shlibdeps (package dpkg-dev; CPack also needs `file`); the Qt platform
# plugins (the window cannot start without the xcb one) are named by hand.
set(CPACK_PACKAGE_NAME brimocnc)
set(CPACK_PACKAGE_VENDOR "BrimoCNC")
set(CPACK_PACKAGE_CONTACT "BrimoCNC developers <brimocnc@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "controller for a three-axis CNC mill on the parallel port")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "BrimoCNC drives the stepper motors of a hobby three-axis mill directly\n\
through a PC parallel port and times every step pulse itself. Load a G-code\n\
program, see its toolpath, jog, home, set coordinates, and run it\n\
continuously or line by line with a live feed override, or offline.\n\
A headless simulation (brimocnc --simulate) needs no display.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
