# What `cmake --install` installs, and the packages made from it with CPack:
#   cpack -G DEB   kml_<version>_<arch>.deb: /usr/bin/kml, the manual page, and the
#                  copyright and changelog that Debian asks of every package
#   cpack -G ZIP   in a Windows build: kml-<version>-win64.zip, kml.exe and the README;
#                  in an emscripten build: kml-<version>-web.zip, the page folder
# Only the program and its documentation are installed: not the tests, the benchmark or
# makelog.
include(GNUInstallDirs)

if(EMSCRIPTEN)
  # Unzipped, the folder is the page: open its index.html.
  install(DIRECTORY "${KML_PAGE_DIR}/" DESTINATION . FILES_MATCHING PATTERN "*.html" PATTERN "*.css" PATTERN "*.js")
  set(CPACK_PACKAGE_FILE_NAME "kml-${PROJECT_VERSION}-web")
elseif(WIN32)
  # Unzipped, the folder holds kml.exe beside the README, ready to run.
  install(TARGETS kml RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
else()
  install(TARGETS kml RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  set(KML_MANUAL "${CMAKE_CURRENT_BINARY_DIR}/kml.1")
  configure_file(man/kml.1.in "${KML_MANUAL}" @ONLY)
  # The manual page and the changelog compressed where gzip is at hand, as Debian keeps them.
  find_program(GZIP gzip)
  if(GZIP)
    execute_process(COMMAND ${GZIP} -9nc "${KML_MANUAL}" OUTPUT_FILE "${KML_MANUAL}.gz")
    execute_process(COMMAND ${GZIP} -9nc "${PROJECT_SOURCE_DIR}/packaging/changelog"
                    OUTPUT_FILE "${CMAKE_CURRENT_BINARY_DIR}/changelog.gz")
    install(FILES "${KML_MANUAL}.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES "${CMAKE_CURRENT_BINARY_DIR}/changelog.gz" DESTINATION ${CMAKE_INSTALL_DOCDIR})
  else()
    install(FILES "${KML_MANUAL}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endif()

set(CPACK_PACKAGE_NAME kml)
set(CPACK_PACKAGE_VENDOR "the kml developers")
set(CPACK_PACKAGE_CONTACT "kml developers <kml@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert a GPS logger's position log into a KML route")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "kml reads a position log, the binary image of a GPS logger's EEPROM, and\n"
  "writes a KML 2.2 document that draws the logged route as one red line, for\n"
  "Google Earth, a map viewer or a GIS tool. While it converts, it lists every\n"
  "record on standard output, as stored and in decimal degrees.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
