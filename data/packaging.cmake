# `cpack -G DEB` in the build folder makes a Debian package of what `cmake --install`
# puts in place, under /usr. dpkg-shlibdeps computes the libraries it depends on.
set(CPACK_PACKAGE_NAME orvo)
set(CPACK_PACKAGE_VENDOR "Orvo")
set(CPACK_PACKAGE_CONTACT "Orvo <orvo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small rich-text editor with a French interface")
set(CPACK_PACKAGE_DESCRIPTION "Orvo edits one document at a time in a small window that draws its own
title strip, toolbar, style toggles with indicator lamps and colour
palette. Its interface, dialogs included, is in French.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its window-system plugin at run time, out of sight of dpkg-shlibdeps;
# without it the program cannot open a window.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The substitutes with the metrics the window layouts were made for, and the image
# plugin TIFF pictures in documents are read with.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, qt6-image-formats-plugins")
include(CPack)
