# The Debian package of the Linux build: `cpack -G DEB` in a Release build directory makes
# ombrel_<version>-1_<arch>.deb from the install rules. scripts/package.sh is the way to call it.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME ombrel)
set(CPACK_PACKAGE_VERSION ${OMBREL_VERSION_TEXT})
set(CPACK_PACKAGE_CONTACT "Ombrel developers <ombrel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console-like window that runs one command line at a time")
# Lines of at most 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION "Type a line into the box at the bottom and press Enter: Ombrel starts it as a
hidden child process, without a shell, with the child's standard output and
standard error on one pipe and no standard input, and shows what the child
prints, as it arrives, in the black area above. Nothing in the line is
expanded: to use shell features, run the shell.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins at run time, so no library dependency names them; without one the window
# cannot open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)

# The manual page, the changelog and the copyright file, the first two compressed as Debian wants them.
foreach(page ombrel.1 debian-changelog)
  configure_file(${PROJECT_SOURCE_DIR}/resources/${page}.in ${PROJECT_BINARY_DIR}/${page} @ONLY)
  execute_process(COMMAND gzip -9n INPUT_FILE ${PROJECT_BINARY_DIR}/${page}
    OUTPUT_FILE ${PROJECT_BINARY_DIR}/${page}.gz COMMAND_ERROR_IS_FATAL ANY)
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/ombrel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(OMBREL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
install(FILES ${PROJECT_BINARY_DIR}/debian-changelog.gz DESTINATION ${OMBREL_DOC_DIR} RENAME changelog.Debian.gz)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian-copyright DESTINATION ${OMBREL_DOC_DIR} RENAME copyright)

include(CPack)
