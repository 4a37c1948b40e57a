# Files and package settings of a build for distributions (MORVANE_SELF_UPDATE
# off): everything under the prefix as a package manager lays it out, and a
# Debian package of it made by `cpack -G DEB` that installs under /usr.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/morvane.desktop DESTINATION share/applications)
# The release date follows SOURCE_DATE_EPOCH when it is set, for reproducible packages.
string(TIMESTAMP MORVANE_RELEASE_DATE "%Y-%m-%d" UTC)
set(metainfo ${CMAKE_BINARY_DIR}/packaging/com.ombrix.morvane.metainfo.xml)
configure_file(${CMAKE_CURRENT_LIST_DIR}/com.ombrix.morvane.metainfo.xml.in ${metainfo} @ONLY)
install(FILES ${metainfo} DESTINATION share/metainfo)

set(man_page ${CMAKE_BINARY_DIR}/man/morvane-convert.1.gz)
add_custom_command(
    OUTPUT ${man_page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${GZIP} -9nc ${CMAKE_CURRENT_LIST_DIR}/morvane-convert.1 > ${man_page}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/morvane-convert.1
    COMMENT "Compressing the man page")
add_custom_target(MorvaneManPage ALL DEPENDS ${man_page})
install(FILES ${man_page} DESTINATION share/man/man1)

set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR Ombrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turn PDF, Word, PowerPoint and HTML files into Markdown")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Morvane converts PDF (with OCR for scanned pages), Word, PowerPoint and HTML files and "
       "web pages into clean Markdown, from a window or with the morvane-convert command.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ombrix <packages@${MORVANE_FEEDBACK_HOST}>")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${MORVANE_FEEDBACK_HOST}")
# Library dependencies come from the binaries. Besides: OCR's language models,
# and the SVG image plugin that draws the icons.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "tesseract-ocr-eng, tesseract-ocr-dan, libqt6svg6")
set(CPACK_GENERATOR DEB)
include(CPack)
