# cpack -G DEB: a Debian package of the installed copy (programs in /usr/bin,
# resources in /usr/share/velmora, desktop files). The libraries the programs
# link come from dpkg-shlibdeps; what they load or read at run time without
# linking it (the Qt platform plugin, the map's script library, fonts) is listed.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velmora")
set(CPACK_PACKAGE_CONTACT "Velmora developers <developers@velmora.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Dash-camera recording player with map and telemetry")
# Lines of the long description stay within 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Plays the transport-stream recordings of a car dash camera from its\n"
       "memory card, with a calendar and timelines of the recordings, the car's\n"
       "position on a map, its speed, heading and G-sensor graph. Saves stretches\n"
       "as new recordings or AVI files, takes still pictures and edits the\n"
       "camera's settings on the card.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libjs-leaflet, fonts-dejavu-core, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udisks2")
include(CPack)
