# The Debian package, made by CPack from the install rules (`cpack -G DEB` in a build tree,
# or scripts/package.sh). Depends comes from dpkg-shlibdeps, so it follows the libraries the
# program links, whatever they are.
include(GNUInstallDirs)

# Debian's documentation files: the copyright and the changelog (compressed without name or
# time, so two builds give the same bytes).
find_program(VELORA_GZIP gzip REQUIRED)
set(velora_changelog_gz ${CMAKE_BINARY_DIR}/package/changelog.gz)
add_custom_command(OUTPUT ${velora_changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package
  COMMAND ${VELORA_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/resources/package/changelog > ${velora_changelog_gz}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/package/changelog VERBATIM)
add_custom_target(velora_package_docs ALL DEPENDS ${velora_changelog_gz})
install(FILES ${PROJECT_SOURCE_DIR}/resources/package/copyright ${velora_changelog_gz}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velora)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Velora developers <velora@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard-driven window and application switcher")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/velora/velora)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, not linked: Qt's Wayland platform (the preferences window on Wayland)
# and libcanberra with a sound theme (the beep on Wayland). Without them the program still
# runs, with the preferences off screen and no sound on Wayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, libcanberra0, sound-theme-freedesktop")
# The long description; CPack puts the summary above it and indents its lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Velora switches between applications and windows on an X11 desktop. Hold a
modifier and press a hot key: a selection cycles through the running
applications, all windows, or the windows of the active application. A quick
release activates the selection at once; a longer hold shows a panel of
window pictures and icons, on which single keys quit, hide, minimise or close
the selection.")
include(CPack)
