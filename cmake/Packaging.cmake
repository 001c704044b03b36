# `cmake --build <dir> --target package`: a Debian package of both programs,
# their data (settings, palettes, help), the desktop entry and the icon,
# installed under /usr. Its library dependencies are those dpkg-shlibdeps
# finds in the programs; the rest are named here: the X11 platform plugin
# (without it the windows cannot open) and a font (without one every glyph
# is a box).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Terrain surface (TIN) manager: desktop program and command-line tool")
set(CPACK_PACKAGE_DESCRIPTION
    "Keeps, builds, colours and exports the terrain surfaces of a survey project: the desktop
program orvane and the command-line tool orvane-tin.")
set(CPACK_PACKAGE_CONTACT "ORVANE developers <orvane@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # orvane_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core | fonts-liberation2")
include(CPack)
