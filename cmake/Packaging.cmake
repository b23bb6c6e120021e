# A Debian package of the installation (cpack -G DEB in the build folder).
# The run-time dependencies beyond the linked libraries (found by
# dpkg-shlibdeps): the icon font of the panel, the window font, the MIME
# database the associations read.
set(CPACK_PACKAGE_NAME velvane)
set(CPACK_PACKAGE_VENDOR Norquill)
set(CPACK_PACKAGE_CONTACT "Norquill <velvane@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fast photo viewer that steps through the pictures of a folder")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-font-awesome, fonts-dejavu-core, shared-mime-info, libgs-common")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
