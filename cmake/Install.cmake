# What `cmake --install` puts next to the program so that it is a desktop application (launcher,
# file types, icons, manual page, README), and the Debian package built from it with CPack.
include(GNUInstallDirs)

set(KIVREL_DATA_DIR ${PROJECT_SOURCE_DIR}/data)
set(KIVREL_ICON_SIZES 16 32 48 64 128 256)

install(FILES ${KIVREL_DATA_DIR}/kivrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# shared-mime-info reads every file in mime/packages; the file name only needs to be unique.
install(FILES ${KIVREL_DATA_DIR}/kivrel-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME kivrel.xml)
install(FILES ${KIVREL_DATA_DIR}/icons/kivrel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size IN LISTS KIVREL_ICON_SIZES)
  install(FILES ${KIVREL_DATA_DIR}/icons/${size}x${size}/kivrel.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages are installed compressed, as Debian expects; man reads them either way.
find_program(KIVREL_GZIP gzip REQUIRED)
set(KIVREL_MANPAGE ${PROJECT_BINARY_DIR}/data/kivrel.1)
add_custom_command(
  OUTPUT ${KIVREL_MANPAGE}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${KIVREL_DATA_DIR}/kivrel.1 ${KIVREL_MANPAGE}
  COMMAND ${KIVREL_GZIP} -9nf ${KIVREL_MANPAGE}
  DEPENDS ${KIVREL_DATA_DIR}/kivrel.1
  COMMENT "Compressing the manual page"
  VERBATIM)
add_custom_target(kivrel_manpage ALL DEPENDS ${KIVREL_MANPAGE}.gz)
install(FILES ${KIVREL_MANPAGE}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# A direct installation updates the desktop's MIME and application caches, so that file managers
# offer Kivrel for plot files at once. Staged installations (DESTDIR set, as for packages) leave
# that to the target system, where dpkg's triggers do it.
install(CODE "set(kivrel_share \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}\")")
install(CODE [[
  if("$ENV{DESTDIR}" STREQUAL "")
    find_program(kivrel_update_mime update-mime-database)
    find_program(kivrel_update_desktop update-desktop-database)
    if(kivrel_update_mime)
      message(STATUS "Updating the MIME database in ${kivrel_share}/mime")
      execute_process(COMMAND ${kivrel_update_mime} "${kivrel_share}/mime")
    endif()
    if(kivrel_update_desktop)
      message(STATUS "Updating the application cache in ${kivrel_share}/applications")
      execute_process(COMMAND ${kivrel_update_desktop} -q "${kivrel_share}/applications")
    endif()
  endif()
]])

# Debian package: `cpack -G DEB` in a release build (tools/package.sh does it all).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kivrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kivrel")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live plotter for numbers from serial devices, pipes and files")
set(CPACK_PACKAGE_INSTALL_DIRECTORY kivrel)
set(CPACK_STRIP_FILES ON)
# Staged with DESTDIR, so that no desktop cache is built into the package.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kivrel developers <kivrel@invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kivrel draws numbers as graphs while text lines arrive from a serial device
(USB or UART), standard input or a file. Each line holds one number per graph;
option lines in the same stream set titles, displays and scales. Plots can be
paused, scrolled, zoomed, saved, merged and exported to PDF or SVG.")
# The library dependencies (GTK 3, cairo, GLib, the C++ runtime) come from the binary itself.
find_program(KIVREL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KIVREL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgtk-3-0 (>= 3.22), libcairo2, libglib2.0-0, libstdc++6, libc6")
endif()
# Without it the two plot file types are not recognised by file managers.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info")
include(CPack)
