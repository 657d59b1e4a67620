# Desktop integration, AppStream metadata and the Debian package. The programs themselves are
# installed where their targets are defined (install(TARGETS ...) in each subsystem).

include(GNUInstallDirs)

set(ORVANE_APP_ID org.orvane.Orvane)
set(ORVANE_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

install(FILES ${ORVANE_PACKAGING_DIR}/${ORVANE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ORVANE_PACKAGING_DIR}/${ORVANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 48 256)
  install(FILES ${ORVANE_PACKAGING_DIR}/icons/orvane-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${ORVANE_APP_ID}.png)
endforeach()
install(FILES ${ORVANE_PACKAGING_DIR}/icons/orvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${ORVANE_APP_ID}.svg)

find_program(ORVANE_APPSTREAMCLI appstreamcli)
if(ORVANE_TESTS AND ORVANE_APPSTREAMCLI)
  add_test(NAME appstream_metainfo_valid
           COMMAND ${ORVANE_APPSTREAMCLI} validate --no-net
                   ${ORVANE_PACKAGING_DIR}/${ORVANE_APP_ID}.metainfo.xml)
endif()

set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvane <support@orvane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Charts of Korean housing-market and financial index time series")
set(CPACK_PACKAGE_DESCRIPTION
    "Orvane, the desktop client, with its updater Zentrel, the orvane-chart command line and the\n\
orvane-server reference service.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Libraries come from dpkg-shlibdeps; these are loaded at run time or only drawn with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-nanum | fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
