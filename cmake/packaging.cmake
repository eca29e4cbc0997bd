# Installation and packages. `cmake --build --preset default --target package`
# makes a Debian package (CPack DEB); on the Windows presets the same target
# makes a zip of the two programs and a README.txt (CPack ZIP).
set(DT_PKG_SRC ${PROJECT_SOURCE_DIR}/packaging)
set(DT_PKG_OUT ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${DT_PKG_OUT})

set(CPACK_PACKAGE_NAME disktest)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR disktest)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "disk read-speed test, surface scan, SMART report and health verdict")
# The long description, wrapped as dpkg shows it.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "disktest tests hard disks and other block devices: a read-speed test that"
  "times every block of a chosen range and draws speed and time against the"
  "position on the disk, a surface scan (read, write, or read and write back)"
  "with a live map of the disk and a list of the failing blocks, the drive's"
  "ATA SMART and IDENTIFY report (an NVMe drive's identity and health log),"
  "SMART self-tests and a health verdict. It comes as a Qt desktop program"
  "(disktest) and a command-line program (disktest-cli).")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # The zip holds the two programs and README.txt at its top.
  set(dest .)
  configure_file(${DT_PKG_SRC}/windows/README.txt.in ${DT_PKG_OUT}/README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${DT_PKG_OUT}/README.txt DESTINATION ${dest})
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME disktest-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME disktest-${PROJECT_VERSION}-win32)
  endif()
else()
  include(GNUInstallDirs)
  set(dest ${CMAKE_INSTALL_BINDIR})
  set(share ${CMAKE_INSTALL_DATADIR})
  # The menu entry starts the program as the user; raw disks open only for
  # root, so disktest-helper opens them, started through pkexec under the
  # polkit action (its path is the one the programs start).
  install(FILES ${DT_PKG_SRC}/linux/disktest.desktop DESTINATION ${share}/applications)
  install(FILES ${DT_PKG_SRC}/linux/io.github.disktest.helper.policy
          DESTINATION ${share}/polkit-1/actions)
  install(TARGETS disktest-helper RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/disktest)
  install(FILES ${DT_PKG_SRC}/icons/disktest.svg DESTINATION ${share}/icons/hicolor/scalable/apps)
  # Manual pages with the version, compressed as Debian wants them (gzip -9n:
  # no name or time stamp). configure_file makes an edit of a page re-run the
  # configuration, which compresses it again.
  find_program(DT_GZIP gzip REQUIRED)
  foreach(page disktest disktest-cli)
    configure_file(${DT_PKG_SRC}/man/${page}.1.in ${DT_PKG_OUT}/${page}.1 @ONLY)
    execute_process(COMMAND ${DT_GZIP} -9n -c ${DT_PKG_OUT}/${page}.1
                    OUTPUT_FILE ${DT_PKG_OUT}/${page}.1.gz COMMAND_ERROR_IS_FATAL ANY)
    install(FILES ${DT_PKG_OUT}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(DT_PACKAGE_MAINTAINER "disktest maintainers <disktest@localhost>"
      CACHE STRING "Maintainer field of the Debian package")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${DT_PACKAGE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  # The libraries the programs link (Qt, libblkid, libpng, the C++ runtime)
  # come from dpkg-shlibdeps over the installed programs.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec | policykit-1, polkitd")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

install(TARGETS disktest-cli RUNTIME DESTINATION ${dest})
if(TARGET disktest)
  install(TARGETS disktest RUNTIME DESTINATION ${dest})
endif()

include(CPack)
