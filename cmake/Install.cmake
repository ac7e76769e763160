# Where the driver's files go, so that CUPS finds them:
#   rastertozova  <serverbin>/filter            (the PPDs' *cupsFilter)
#   commandtozova <serverbin>/filter            (CUPS's maintenance commands)
#   texttozova    <serverbin>/filter            (text/plain in the printer's fonts)
#   pdftozova     <serverbin>/filter            (PDF, with ZovaDocumentText)
#   zova_ID       <serverbin>/filter            (cupsd runs filters with
#                 PATH=<serverbin>/filter:/usr/bin:/usr/sbin:/bin, whatever
#                 the install prefix, and the filter finds the tool on PATH)
#   zova-preview  <prefix>/bin
#   zova-printer-app  <prefix>/bin, with its systemd unit in
#                 <prefix>/lib/systemd/system (zova-printer-app.service)
#   PPDs          <datadir>/model/zova          (lpadmin -m zova/zovaqrt.ppd)
#   man pages     <prefix>/share/man/man1 (the programs), man8 (the filters
#                 and zova_ID, which CUPS runs)
# <serverbin> and <datadir> come from cups-config (CupsDirs.cmake). All paths
# honour DESTDIR.
# `cmake --build build --target uninstall` removes what the install put down
# on the live system, and the directories it made; with DESTDIR=DIR, what it
# put down under DIR.
include(GNUInstallDirs)

# CMake keeps one install_manifest.txt, rewritten by every install without
# its DESTDIR: after a staged install it would name the live files. Each root
# (DESTDIR, empty for the live system) gets a list of its own instead: the
# first install step notes the directories it is about to make, the last
# lists them with the files (RecordInstall.cmake), and the uninstall removes
# only what went into the root it is given the same way.
set(ZOVA_INSTALL_ROOTS ${PROJECT_BINARY_DIR}/install-roots)
set(install_dirs ${ZOVA_CUPS_FILTERDIR} ${CMAKE_INSTALL_BINDIR} ${ZOVA_CUPS_MODELDIR}
                 ${CMAKE_INSTALL_MANDIR}/man1 ${CMAKE_INSTALL_MANDIR}/man8)
if(TARGET zova-printer-app)
  list(APPEND install_dirs lib/systemd/system)
endif()
install(CODE "set(ZOVA_INSTALL_ROOTS \"${ZOVA_INSTALL_ROOTS}\")
  set(ZOVA_INSTALL_DIRS \"${install_dirs}\")
  set(ZOVA_RECORD dirs)")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/RecordInstall.cmake)

install(TARGETS rastertozova commandtozova texttozova pdftozova zova_ID RUNTIME DESTINATION ${ZOVA_CUPS_FILTERDIR})
install(TARGETS zova-preview zova-testpage RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET zova-printer-app)
  install(TARGETS zova-printer-app RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The unit names the program where this install puts it: cpack installs
  # under its own prefix.
  set(unit_in ${PROJECT_SOURCE_DIR}/printer-app/systemd/zova-printer-app.service.in)
  set(unit ${PROJECT_BINARY_DIR}/zova-printer-app.service)
  install(CODE "
    set(ZOVA_APP_BIN \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zova-printer-app\")
    configure_file(\"${unit_in}\" \"${unit}\" @ONLY)")
  install(FILES ${unit} DESTINATION lib/systemd/system)
endif()
install(FILES ${ZOVA_PPD_FILES} DESTINATION ${ZOVA_CUPS_MODELDIR})
set(man ${PROJECT_SOURCE_DIR}/man)
install(FILES ${man}/zova-preview.1 ${man}/zova-testpage.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET zova-printer-app)
  install(FILES ${man}/zova-printer-app.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${man}/rastertozova.8 ${man}/texttozova.8 ${man}/pdftozova.8 ${man}/commandtozova.8
              ${man}/zova_ID.8
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)

install(CODE "set(ZOVA_RECORD files)")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/RecordInstall.cmake)

if(NOT TARGET uninstall)
  add_custom_target(uninstall
    COMMAND ${CMAKE_COMMAND} -D ROOTS=${ZOVA_INSTALL_ROOTS}
            -P ${CMAKE_CURRENT_LIST_DIR}/Uninstall.cmake
    COMMENT "Removing the installed driver")
endif()

# A Debian package of the same files: cpack -G DEB --config build/CPackConfig.cmake
set(CPACK_PACKAGE_NAME zova-qrt-driver)
set(CPACK_PACKAGE_VENDOR "ZOVA")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "CUPS driver and printer application for ZOVA-QRT 24-pin dot-matrix printers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ZOVA driver team <driver@zova.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "cups, cups-filters, ghostscript, poppler-utils, libpappl1")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
