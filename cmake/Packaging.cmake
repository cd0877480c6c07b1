# Debian packages, one per component: `cpack -G DEB` in a release build tree makes
# peregrix_<version>_<arch>.deb (the application) and
# peregrix-server_<version>_<arch>.deb (the server, with a systemd unit).
set(CPACK_PACKAGE_NAME "peregrix")
set(CPACK_PACKAGE_VENDOR "The Peregrix team")
set(CPACK_PACKAGE_CONTACT "The Peregrix team <team@peregrix.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Position logger that reports to a tracking server")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://peregrix.example/")
set(CPACK_GENERATOR "DEB")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")

set(CPACK_DEBIAN_APP_PACKAGE_NAME "peregrix")
set(CPACK_DEBIAN_APP_PACKAGE_SECTION "misc")
# Qt's GeoClue2 plugin, behind the default position source; shlibdeps cannot see plugins.
set(CPACK_DEBIAN_APP_PACKAGE_DEPENDS "libqt6positioning6-plugins")
# The location service the default source asks, and the native window on Wayland phones and
# desktops (XWayland otherwise); gpsd for -location gpsd.
set(CPACK_DEBIAN_APP_PACKAGE_RECOMMENDS "geoclue-2.0, qt6-wayland")
set(CPACK_DEBIAN_APP_PACKAGE_SUGGESTS "gpsd")
set(CPACK_COMPONENT_APP_DESCRIPTION
    "Position logger for Linux desktops and phones\n Takes the device's position and reports it to a tracking server at the\n frequency you choose, keeps a history of the run's reports and can send the\n unacknowledged ones again.")
set(CPACK_DEBIAN_SERVER_PACKAGE_NAME "peregrix-server")
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "libqt6sql6-sqlite, libjs-leaflet")
# QtSql's PostgreSQL driver, for --database postgresql://...
set(CPACK_DEBIAN_SERVER_PACKAGE_SUGGESTS "libqt6sql6-psql")
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    "${PROJECT_SOURCE_DIR}/server/debian/postinst;${PROJECT_SOURCE_DIR}/server/debian/prerm;${PROJECT_SOURCE_DIR}/server/debian/postrm")
set(CPACK_COMPONENT_SERVER_DESCRIPTION
    "Reference tracking server for Peregrix\n Answers Peregrix's position reports, user name validation and account\n information, stores them in SQLite and shows the tracks on a web page.")
include(CPack)
