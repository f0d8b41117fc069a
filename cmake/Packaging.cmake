# The Debian package: `cpack -G DEB` in a configured build tree (see
# scripts/package.sh). Everything installs under /usr; the program finds its
# shared data relative to its executable, so no path is patched in.
set(CPACK_PACKAGE_NAME "zul-somnex")
set(CPACK_PACKAGE_VENDOR "ZUL Programming")
set(CPACK_PACKAGE_CONTACT "ZUL Somnex team <somnex@zulprogramming.ru>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "dream book with a lunar calendar of dreams (in Russian)")
set(CPACK_PACKAGE_DESCRIPTION
"ZUL Somnex 3 shows, in one document with see-also links, what each of
several dream books says about a dream symbol. A lunar calendar works out
the lunar day of a dream from its own astronomy engine and tells how far
such dreams come true. A shelf of articles about dreams, a quick-lookup
menu in the notification area, copying and printing complete it.
.
The program, its books and its manuals are in Russian.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "text")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zulprogramming.ru/somnex/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the binaries do not show: Qt's Russian catalogue for the standard
# dialogs, the font the artwork is drawn with and the Russian spelling
# dictionary of the diary; on Wayland, its platform plugin.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-dejavu-core, hunspell-ru")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# A Debian package carries its copyright and changelog.
set(somnex_doc_dir "${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME}")
set(somnex_changelog "${CMAKE_BINARY_DIR}/package/changelog.gz")
configure_file("${PROJECT_SOURCE_DIR}/data/package/changelog" "${CMAKE_BINARY_DIR}/package/changelog" @ONLY)
add_custom_command(
  OUTPUT "${somnex_changelog}"
  COMMAND gzip -9 -n -c "${CMAKE_BINARY_DIR}/package/changelog" > "${somnex_changelog}"
  DEPENDS "${CMAKE_BINARY_DIR}/package/changelog"
  COMMENT "Compressing the package changelog")
add_custom_target(somnex_package_docs ALL DEPENDS "${somnex_changelog}")
install(FILES "${PROJECT_SOURCE_DIR}/data/package/copyright" "${somnex_changelog}"
        DESTINATION "${somnex_doc_dir}")

include(CPack)
