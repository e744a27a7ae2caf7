# Installation and the Debian package (Linux): the program where XScreenSaver looks for its hacks,
# the description of its options for the daemon's settings dialog, a desktop entry for screensaver
# lists, the manual page, the README, and nuvtool.
#   cmake --install BUILD [--prefix DIR]      cpack --config BUILD/CPackConfig.cmake (in BUILD)
include(GNUInstallDirs)

set(_desktop ${PROJECT_SOURCE_DIR}/app/desktop)
set(NUV_HACK_DIR ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)

install(TARGETS halvane RUNTIME DESTINATION ${NUV_HACK_DIR})
install(TARGETS nuvtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${_desktop}/halvane.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/halvane)

# Debian keeps manual pages compressed; -n leaves the time out, so the same page gives the same bytes.
set(_man ${CMAKE_BINARY_DIR}/halvane.6.gz)
add_custom_command(OUTPUT ${_man}
  COMMAND gzip -n -9 -c ${_desktop}/halvane.6 > ${_man}
  DEPENDS ${_desktop}/halvane.6
  COMMENT "Manual page halvane(6)")
add_custom_target(nuv_manual_page ALL DEPENDS ${_man})
install(FILES ${_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

# The desktop entry names the program by its installed path, which is known only when installing
# (cmake --install --prefix, or the package's /usr).
install(CODE "
  set(HALVANE_HACK \"\${CMAKE_INSTALL_PREFIX}/${NUV_HACK_DIR}/halvane\")
  set(_entry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/screensavers/halvane.desktop\")
  message(STATUS \"Installing: \${_entry}\")
  configure_file(\"${_desktop}/halvane.desktop.in\" \"\${_entry}\" @ONLY)
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME halvane)
set(CPACK_PACKAGE_VENDOR "Tessaly Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Halvane 3D Screensaver: a winter night in 3D, with music")
set(CPACK_PACKAGE_DESCRIPTION "An animated 3D winter night: falling snow, garlands of lights, glowing lamps, \
a skater on a frozen pond with its reflection, shadows, music and positional sound. It runs full \
screen by itself or as a hack of XScreenSaver (halvane --root), whose settings dialog shows its options.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The programs without their debugging sections.
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tessaly Software <halvane@tessaly-software.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.tessaly-software.example/")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xscreensaver)
# The dependencies come from the shared libraries the programs link, and those of the sound library
# that the program carries inside and loads at run time, which no installed file shows: one
# dpkg-shlibdeps over all of them when the package is made.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(NUV_PACKAGE_ELF_FILES "-e $<TARGET_FILE:halvane> -e $<TARGET_FILE:nuvtool> -e ${NUV_SOUND_LIBRARY_FILE}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/NuvPackageDepends.cmake.in ${CMAKE_BINARY_DIR}/NuvPackageDepends.cmake.gen @ONLY)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/NuvPackageDepends.cmake INPUT ${CMAKE_BINARY_DIR}/NuvPackageDepends.cmake.gen)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/NuvPackageDepends.cmake)
include(CPack)
# Tests that make the package look for this.
set(NUV_PACKAGE_DEB ON)
