# The Debian package brisko_<version>_<arch>.deb, made by `cpack -G DEB` in the build folder from what
# `cmake --install` installs (under /usr). Its library dependencies are read from the executable by
# dpkg-shlibdeps; the rest are what the program needs at run time that no library link shows.
# cpack (and `make install`) package what was built and do not walk every target of the build again first:
# scripts/package builds before it packages, and the package test runs after the build.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brisko)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Brisko developers")
set(CPACK_PACKAGE_CONTACT "${BRISKO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop organiser for programs, documents and web sites")
set(CPACK_PACKAGE_HOMEPAGE_URL "${BRISKO_HOMEPAGE}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${BRISKO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${BRISKO_HOMEPAGE}")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Brisko is a small, skinned window that stays on top of the others and keeps\n"
    "programs, documents, folders and desktop launchers in named groups, keeps web\n"
    "addresses in groups of their own, lists the items opened most recently and\n"
    "finds items by name while you type. The interface is in Chinese.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})

# Libraries: computed from the executable. Beyond them:
# - Depends: the SQLite driver of Qt (the catalogue), a CJK font (every text is Chinese) and Qt's SVG image
#   plugin (the desktop's icon themes, which give the items their icons, are mostly SVG).
# - Recommends: a colour emoji font (names may hold emoji), a fallback icon theme with per-type file icons for
#   desktops without one, the hicolor theme the application icon is installed into, Qt's extra platform
#   plugins and its Wayland plugin (a Wayland session without XWayland), Qt's translations (its own buttons in
#   Chinese), and xdg-utils (opening files and web addresses where the desktop has no opener of its own).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, fonts-wqy-microhei | fonts-noto-cjk, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-noto-color-emoji, breeze-icon-theme | adwaita-icon-theme, hicolor-icon-theme, qt6-qpa-plugins, "
    "qt6-wayland, qt6-translations-l10n, xdg-utils")
string(JOIN "" CPACK_DEBIAN_PACKAGE_RECOMMENDS ${CPACK_DEBIAN_PACKAGE_RECOMMENDS})

include(CPack)
