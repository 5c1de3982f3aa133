# The Debian package of the native program: `cpack` in the native build folder
# writes tintmark_<version>_<arch>.deb from the install rules. The binary is
# stripped, the md5sums are listed, and the metadata is what lintian expects.
if(WIN32)
  return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tintmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TintMark developers")
set(CPACK_PACKAGE_CONTACT "${TINTMARK_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TINTMARK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_MD5SUMS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "turn plain text into HTML fragments with decorated keywords")
# The summary is the first line of the description; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "TintMark converts text files, as bytes in code page 932 (Shift-JIS), into
HTML fragments in which the keywords of a small settings file are wrapped in
bold, italic, underline, strike-through and font tags, with an optional <BR>
after every line. Everything else is copied byte for byte.")
include(CPack)
