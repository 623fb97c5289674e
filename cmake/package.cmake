# A Debian package made by CPack from the install rules: `cpack -G DEB` in a build folder
# (scripts/build-deb.sh builds one from scratch and checks it with lintian). The version is the
# one the programs print, read from app/version.h so that there is only one.
file(STRINGS ${CMAKE_SOURCE_DIR}/app/version.h _version_line REGEX "kVersionText")
string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" PLOVER_PACKAGE_VERSION "${_version_line}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plover)
set(CPACK_PACKAGE_VERSION ${PLOVER_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR "The Plover developers")
set(CPACK_PACKAGE_CONTACT "The Plover developers <plover-developers@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn the pages of PDF files into images")
set(CPACK_PACKAGE_DESCRIPTION
  "Plover turns every page of a PDF file into an image file (BMP, JPEG, PNG,\n\
GIF, TIFF, WMF, EMF or EPS) at 25% to 500% scale, with its own PDF engine.\n\
It has a desktop window, plover, and a command-line tool, plover-cli, for\n\
scripts and batches.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries come from the binaries; the data the engine reads at run time does not show there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "poppler-data, fonts-urw-base35")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
