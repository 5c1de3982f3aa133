# What `cmake --install` puts in place for the native program, laid out as a
# Debian package wants it: the program, its compressed manual page, and the
# docs (README, copyright, compressed changelog, the sample). Gzip with -n
# keeps names and times out of the archives, so they build the same each time.
if(WIN32)
  return()
endif()
include(GNUInstallDirs)

set(TINTMARK_MAINTAINER "TintMark developers <tintmark@example.org>")
set(TINTMARK_DOC_STAGE ${CMAKE_BINARY_DIR}/doc-stage)
configure_file(${PROJECT_SOURCE_DIR}/packaging/tintmark.1 ${TINTMARK_DOC_STAGE}/tintmark.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${TINTMARK_DOC_STAGE}/changelog @ONLY)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE TINTMARK_LICENSE_TEXT)
file(CONFIGURE OUTPUT ${TINTMARK_DOC_STAGE}/copyright CONTENT
     "TintMark: turns plain text files into HTML fragments with decorated keywords.\n\
\n\
Upstream: the TintMark developers. License: MIT (Expat), as follows.\n\
\n\
${TINTMARK_LICENSE_TEXT}")

find_program(TINTMARK_GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${TINTMARK_DOC_STAGE}/tintmark.1.gz ${TINTMARK_DOC_STAGE}/changelog.gz
  COMMAND ${TINTMARK_GZIP} -n -9 -k -f tintmark.1 changelog
  DEPENDS ${TINTMARK_DOC_STAGE}/tintmark.1 ${TINTMARK_DOC_STAGE}/changelog
  WORKING_DIRECTORY ${TINTMARK_DOC_STAGE}
  VERBATIM)
add_custom_target(tintmark_docs ALL
  DEPENDS ${TINTMARK_DOC_STAGE}/tintmark.1.gz ${TINTMARK_DOC_STAGE}/changelog.gz)

install(TARGETS tintmark RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (as the package is) also drops the compiler's notes, as
# Debian's own packaging does.
if(CMAKE_STRIP)
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tintmark\")
  endif()")
endif()
install(FILES ${TINTMARK_DOC_STAGE}/tintmark.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(TINTMARK_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tintmark)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${TINTMARK_DOC_STAGE}/copyright
              ${TINTMARK_DOC_STAGE}/changelog.gz
        DESTINATION ${TINTMARK_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/samples/sample.txt ${PROJECT_SOURCE_DIR}/samples/TintMark.dat
        DESTINATION ${TINTMARK_DOC_DIR}/examples)
