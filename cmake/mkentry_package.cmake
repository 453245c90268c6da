# A Debian package of the installed files: `cpack -G DEB` in the build tree.
set(CPACK_PACKAGE_NAME mkentry)
set(CPACK_PACKAGE_VENDOR "The mkentry developers")
set(CPACK_PACKAGE_CONTACT "The mkentry developers <mkentry@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write one MBR partition table entry to standard output")
set(CPACK_PACKAGE_DESCRIPTION
    "mkentry builds one 16-byte entry of a PC master boot record partition table
from its command-line options (first block, number of blocks, type, boot
flag) and writes the raw bytes to standard output, optionally followed by
the 55 AA boot signature. Build scripts pipe it into dd to write partition
tables into SD-card and eMMC images without root, loop devices or a
partitioning tool.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends is computed from the binary by dpkg-shlibdeps: libc6 and nothing else.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
