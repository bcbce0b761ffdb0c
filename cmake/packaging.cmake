# Installing and packaging: the program and its manual page; the package adds its licence,
# changelog and README.
include(GNUInstallDirs)

# On Windows: a ZIP to unpack anywhere, for users: the program, a short README.txt and the
# licence as LICENSE.txt (both with CR LF line ends, as every Windows editor shows them), and
# the example to try. The Markdown documents stay in the source tree: their links lead nowhere
# in a ZIP.
if(WIN32)
  set(package_text ${PROJECT_BINARY_DIR}/package-text)
  configure_file(${PROJECT_SOURCE_DIR}/doc/windows-readme.txt.in ${package_text}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${package_text}/LICENSE.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(TARGETS tarnwick RUNTIME DESTINATION . COMPONENT program)
  install(FILES ${package_text}/README.txt ${package_text}/LICENSE.txt DESTINATION .
          COMPONENT program)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/hello.hex DESTINATION examples
          COMPONENT program)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME tarnwick)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME tarnwick-${PROJECT_VERSION}-win64)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};program;/")
  include(CPack)
  return()
endif()

set(TARNWICK_MAINTAINER "tarnwick developers <tarnwick@example.org>"
    CACHE STRING "Maintainer field of the Debian package and its changelog: NAME <EMAIL>")

# The manual page names the version; it comes from project(VERSION) like everything else.
set(TARNWICK_MANUAL ${PROJECT_BINARY_DIR}/man/tarnwick.1)
configure_file(${PROJECT_SOURCE_DIR}/doc/tarnwick.1.in ${TARNWICK_MANUAL} @ONLY)

install(TARGETS tarnwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(FILES ${TARNWICK_MANUAL} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT manual)

# Debian ships manual pages gzipped. The compressed page is a component of its own that a
# plain install leaves out (EXCLUDE_FROM_ALL) and only the package asks for.
find_program(TARNWICK_GZIP gzip)
if(TARNWICK_GZIP)
  set(manual_gz ${PROJECT_BINARY_DIR}/man-gz/tarnwick.1.gz)
  add_custom_command(
    OUTPUT ${manual_gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${TARNWICK_MANUAL} ${PROJECT_BINARY_DIR}/man-gz/tarnwick.1
    # -n leaves the name and time out, so the same page always gives the same bytes.
    COMMAND ${TARNWICK_GZIP} -9 -n -f ${PROJECT_BINARY_DIR}/man-gz/tarnwick.1
    DEPENDS ${TARNWICK_MANUAL}
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(manual_gz ALL DEPENDS ${manual_gz})
  install(FILES ${manual_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT manual_gz
          EXCLUDE_FROM_ALL)
  set(package_manual manual_gz)
else()
  set(package_manual manual)
endif()

# The README for users, plain text: in every tarball beside the program, and in the package.
set(TARNWICK_USER_README ${PROJECT_BINARY_DIR}/doc/README.txt)
configure_file(${PROJECT_SOURCE_DIR}/doc/readme.txt.in ${TARNWICK_USER_README} @ONLY)

# Debian keeps a package's licence as /usr/share/doc/PACKAGE/copyright, beside its changelog,
# gzipped (changelog.gz, the name for a package made by its own authors), and its README.
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${doc_dir} RENAME copyright
        COMPONENT package_doc EXCLUDE_FROM_ALL)
install(FILES ${TARNWICK_USER_README} DESTINATION ${doc_dir} COMPONENT package_doc
        EXCLUDE_FROM_ALL)
set(TARNWICK_CHANGELOG_DATE "Mon, 07 Dec 2026 00:00:00 +0000")
configure_file(${PROJECT_SOURCE_DIR}/doc/changelog.in ${PROJECT_BINARY_DIR}/doc/changelog @ONLY)
if(TARNWICK_GZIP)
  set(changelog_gz ${PROJECT_BINARY_DIR}/doc-gz/changelog.gz)
  add_custom_command(
    OUTPUT ${changelog_gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_BINARY_DIR}/doc/changelog
            ${PROJECT_BINARY_DIR}/doc-gz/changelog
    COMMAND ${TARNWICK_GZIP} -9 -n -f ${PROJECT_BINARY_DIR}/doc-gz/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/doc/changelog
    COMMENT "Compressing the changelog"
    VERBATIM)
  add_custom_target(changelog_gz ALL DEPENDS ${changelog_gz})
  install(FILES ${changelog_gz} DESTINATION ${doc_dir} COMPONENT package_doc EXCLUDE_FROM_ALL)
endif()

# A static program depends on no library, so dpkg-shlibdeps has nothing to find; lintian
# flags any static program, and the override file gives the reason this one is.
if(TARNWICK_LINKED_STATIC)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  install(FILES ${PROJECT_SOURCE_DIR}/doc/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${PROJECT_NAME}
          COMPONENT package_doc EXCLUDE_FROM_ALL)
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

# Debian's name for the architecture built for, where it differs from the processor's; a
# native build asks dpkg, as CPack does.
if(CMAKE_CROSSCOMPILING)
  # 32-bit ARM goes to armhf, Raspberry Pi OS's architecture: the program is static, so the
  # float ABI it was built for does not matter.
  set(deb_architectures x86_64=amd64 aarch64=arm64 arm=armhf)
  list(FILTER deb_architectures INCLUDE REGEX "^${CMAKE_SYSTEM_PROCESSOR}=")
  string(REGEX REPLACE ".*=" "" CPACK_DEBIAN_PACKAGE_ARCHITECTURE "${deb_architectures}")
  if(NOT CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
  endif()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert Intel HEX files into TI-86 program files")
# Lines of the long description; CPack indents them for the control file.
set(CPACK_PACKAGE_DESCRIPTION
    "tarnwick turns an Intel HEX file, as a Z80 assembler such as pasmo writes it,
into a TI-86 program file (.86p) that link software such as TiLP sends to the
calculator. It is for people who write Z80 assembly programs for the TI-86
graphing calculator.")
set(CPACK_PACKAGE_CONTACT ${TARNWICK_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TARNWICK_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Only these components go into the package, whatever else (tests, say) gains an install rule.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};program;/"
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};${package_manual};/"
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};package_doc;/")

include(CPack)
