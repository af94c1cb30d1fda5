# `make package` (cpack -G DEB in the build folder): a Debian package of what `make install` lays out.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexorin)
set(CPACK_PACKAGE_VENDOR "The Vexorin developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tell what kind of file a file really is from its first bytes")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Vexorin names a file's type from its first bytes, whatever its name says: for files whose\n"
    "extension was changed or lost, such as the fragments a disk check leaves behind. It learns\n"
    "types from known files, identifies unknown ones and renames them. vexorin-cli runs the same\n"
    "steps from scripts.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://vexorin.org/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debug information stays in the build; the package carries the programs only.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Vexorin developers <developers@vexorin.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries the programs link are found by dpkg-shlibdeps (package dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(VEXORIN_BUILD_GUI)
  # Qt loads its display plugins at run time, so no library link names them: without
  # qt6-qpa-plugins the window cannot open on X11 or Wayland.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
  # Opening the home page and revealing files go through the desktop's helpers.
  # Qt's own dialogs (file dialog, message box buttons) speak the user's language with these.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland, qt6-translations-l10n")
endif()

include(CPack)
