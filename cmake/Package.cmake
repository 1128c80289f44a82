# `cpack -G DEB` (make deb): a Debian package whose dependencies are computed from the binaries.
set(CPACK_PACKAGE_NAME kestavo)
set(CPACK_PACKAGE_VENDOR "Kestavo")
set(CPACK_PACKAGE_CONTACT "Kestavo developers <kestavo@kestavo.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "catalogue disks and search their contents offline")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestavo catalogues disks (USB sticks, memory cards, CDs and DVDs, external drives, network
shares) into one text catalog file per disk, the contents of ZIP archives included. All
catalogs can be browsed in one window whether or not the disks are at hand, searched by
wildcard mask, checked for duplicate files across disks and compared with the disk itself.
The command kestavo-cli offers the same catalogs and tools in a terminal.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${KESTAVO_HOMEPAGE})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opening catalogued files and the help page goes through the desktop's default application.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, udisks2")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_GENERATOR DEB)
include(CPack)
