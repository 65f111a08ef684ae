# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: cpack -G DEB in the build folder (scripts/package does it
# all). Run-time dependencies are computed from the binaries by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME stellon)
set(CPACK_PACKAGE_VENDOR "The Stellon developers")
set(CPACK_PACKAGE_VERSION "${STELLON_VERSION_TEXT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pick, frame and combine the images of planetary webcam captures")
set(CPACK_PACKAGE_DESCRIPTION
    "Stellon opens an AVI capture, a list of BMP files or a Kelvaron image list of a planet, the Moon or the Sun, lets you tick the good images, frames the bright object in each of them and combines the framed images by a mean or a kappa-sigma rejection. Results are saved as BMP or FITS. stellon-cli does the same from scripts.")
set(CPACK_PACKAGE_HOMEPAGE_URL "${STELLON_HOMEPAGE}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_FILE_NAME "stellon_${STELLON_VERSION_TEXT}_${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Stellon developers <stellon@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see it: Qt's platform plugins (X11, Wayland).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "desktop-file-utils, shared-mime-info")
include(CPack)
