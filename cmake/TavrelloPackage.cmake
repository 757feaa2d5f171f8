# A Debian package from the install rules: `cpack -G DEB` in a build folder gives
# tavrello_<version>_amd64.deb. The program folder is /usr/lib/tavrello, the game's launcher
# /usr/games/tavrello, the authoring tools' /usr/bin/tavrello-pack and /usr/bin/tavrello-editor.
# Dependencies come from the binaries themselves (dpkg-shlibdeps), never from a hand-kept list.
set(CPACK_PACKAGE_NAME tavrello)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tavrello developers")
set(CPACK_PACKAGE_CONTACT "Tavrello developers <support@tavrello.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "spot-the-difference picture game")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Two pictures stand side by side and the right one differs from the left\n"
    "in four places. Choose Easy, Medium or Hard and press on the left picture\n"
    "wherever you see a difference; the game times every picture and moves on\n"
    "to the next pair of the level. The authoring tool tavrello-pack makes\n"
    "pairs from your own photos, builds a database from them and checks that\n"
    "every pair can be played fairly; the pair editor tavrello-editor does the\n"
    "same in one window, where differences are drawn with the mouse.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's font: metric-compatible with the one its layout was drawn for.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tavrello.example.org/")
include(CPack)
