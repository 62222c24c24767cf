# The Debian package of the installation tree (packaging/CMakeLists.txt): `cpack -G DEB` in the
# build folder makes tolvanlink_<version>_<arch>.deb. The root is fixed at /opt/tolvan there; the
# desktop entry, the icon and the command links go under TOLVAN_DESKTOP_PREFIX (/usr).
set(TOLVAN_PACKAGE_ROOT /opt/tolvan CACHE PATH "Installation root inside the Debian package")
set(TOLVAN_PACKAGE_MAINTAINER "Tolvan Link maintainers <tolvanlink@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvanlink)
set(CPACK_PACKAGE_VENDOR "Orsolite")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TOLVAN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tolvan Link: writes systems into the Tolvan Link device")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Desktop download tool for the Tolvan Link handheld. Over a serial line it writes program\n"
    "images (systems) into the device, reads them back, compares them with the image files and\n"
    "tells the device to run them. Installs under /opt/tolvan with a desktop entry; the operators\n"
    "need to be in the dialout group to open the serial ports. Also holds tolvan-catalogue, which\n"
    "keeps the catalogue of systems, and tolvan-emulator, a device emulator on a pseudo-terminal.")
set(CPACK_STRIP_FILES ON)
# The desktop entry and the links lie outside the root: install into a staging DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${TOLVAN_PACKAGE_ROOT})
set(CPACK_PACKAGING_INSTALL_PREFIX ${TOLVAN_PACKAGE_ROOT})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link (Qt 6, SQLite, libjpeg, X11, pxlib, libcsv) come from
# dpkg-shlibdeps; the font that stands in for Arial is needed at run time only.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xchm | kchmviewer")

configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/postinst.in
               ${CMAKE_BINARY_DIR}/packaging/debian/postinst @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/postrm.in
               ${CMAKE_BINARY_DIR}/packaging/debian/postrm @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_BINARY_DIR}/packaging/debian/postinst ${CMAKE_BINARY_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
