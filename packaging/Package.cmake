# The Debian package of the installation tree (packaging/CMakeLists.txt): `cpack -G DEB` in the
# build folder makes tolvanlink_<version>_<arch>.deb. The root is fixed at /opt/tolvan there; the
# desktop entry, the icons, the manual pages, the metadata and the command links go under
# TOLVAN_DESKTOP_PREFIX (/usr). The maintainer and the web address are set in
# packaging/CMakeLists.txt.
set(TOLVAN_PACKAGE_ROOT /opt/tolvan CACHE PATH "Installation root inside the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvanlink)
set(CPACK_PACKAGE_VENDOR "Orsolite")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TOLVAN_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${TOLVAN_WEB_URL}")
# Lines under 80 characters; an empty line separates paragraphs.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "download tool for the Tolvan Link handheld")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Over a serial line, Tolvan Link writes program images (systems) into the\n"
    "Tolvan Link handheld, reads them back, compares them byte by byte with\n"
    "their files and tells the device to run them. The operator works a\n"
    "picture of the device's front panel.\n"
    "\n"
    "The program lies under /opt/tolvan and has a desktop entry. Operators must\n"
    "be in the group dialout to open the serial ports and to keep the port\n"
    "they chose.\n"
    "\n"
    "The package also holds tolvan-flash, which does the same from the command\n"
    "line for one device or a bench of them, tolvan-catalogue, which keeps the\n"
    "catalogue of systems, and tolvan-emulator, which plays the device on a\n"
    "pseudo-terminal.")
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
