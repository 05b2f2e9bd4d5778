# `cpack -G DEB` in the build folder makes the Debian package of the reader and its updater.
# The libraries the programs link come from dpkg-shlibdeps; what they load at run time (the
# SQLite driver, the web engine's helper process, the Chinese Qt texts, the voices) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VENDOR "Quillmere")
set(CPACK_PACKAGE_CONTACT "Quillmere developers <quillmere@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Reader for Chinese novels kept as TXT files")
set(CPACK_PACKAGE_DESCRIPTION "A bookshelf and reader for Chinese TXT novels: chapters, bookmarks,\n\
themes, reading aloud, downloads from an online catalogue and an updater.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY quillmere)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6webenginecore6-bin, qt6-translations-l10n, espeak-ng-data")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-svg-plugins")
include(CPack)
