# `make package`: one Debian package with the programs, the plug-ins and their SDK header, the data,
# the udev rules, the desktop files, the icons and the manual pages. Library dependencies are computed
# by dpkg-shlibdeps; what is loaded at run time (Qt's SVG support for the icons) is named by hand.
set(package_dir ${CMAKE_CURRENT_LIST_DIR}/package)
set(CORVANE_PACKAGE_NAME corvane-configurator)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${CORVANE_PACKAGE_NAME})

# Debian wants the copyright and a compressed changelog in the package's documentation folder.
configure_file(${package_dir}/changelog.in ${PROJECT_BINARY_DIR}/package/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/package/changelog.Debian.gz
    COMMAND gzip -9n -c ${PROJECT_BINARY_DIR}/package/changelog.Debian > ${PROJECT_BINARY_DIR}/package/changelog.Debian.gz
    DEPENDS ${PROJECT_BINARY_DIR}/package/changelog.Debian)
add_custom_target(corvane_package_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/package/changelog.Debian.gz)
install(FILES ${package_dir}/copyright ${PROJECT_BINARY_DIR}/package/changelog.Debian.gz DESTINATION ${doc_dir})

# The plug-in SDK: one C header.
install(FILES ${PROJECT_SOURCE_DIR}/include/corvane/plugin.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/corvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${CORVANE_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR Tavirex)
set(CPACK_PACKAGE_CONTACT "Tavirex <support@tavirex.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configurator of the Corvane keyboard's key displays")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The packaging's own revision: the package is built from upstream sources, not a native one.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.tavirex.com/corvane)
# CPack writes the summary as the synopsis and indents this text as the extended description.
set(CPACK_PACKAGE_DESCRIPTION "The Corvane keyboard carries a colour display on each key. The
configurator runs in the desktop session, owns the keyboard and keeps every
display and key code in step with the user's layers. It sits in the
notification area and can run without windows as a systemd user service.

The package also holds corvane-virtual-keyboard, a stand-in keyboard for
trying the configurator without the hardware, the shipped plug-ins and the
plug-in SDK header.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${package_dir}/postinst ${package_dir}/postrm ${package_dir}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
