# What `cmake --install` installs, and the packages made from it with CPack:
#   cpack -G DEB   kml_<version>_<arch>.deb: /usr/bin/kml, the manual page, and the
#                  copyright (the MIT licence) and changelog that Debian asks of every
#                  package
#   cpack -G ZIP   in a Windows build: kml-<version>-win64.zip, kml.exe; in an emscripten
#                  build: kml-<version>-web.zip, the page folder. Each with a short
#                  README.txt of its own in English and Polish, the LICENSE, and the
#                  sample log as eeprom.hex, which kml converts when given no log
# Only the program and its documentation are installed: not the tests, the benchmark or
# makelog. Every package is the same to the byte whoever builds it, wherever and whenever:
# its time stamps are those of the last changelog entry, and no build path gets into it.
include(GNUInstallDirs)

set(KML_VERSION ${PROJECT_VERSION})
if(EMSCRIPTEN)
  # Unzipped, the folder is the page: open its index.html.
  install(DIRECTORY "${KML_PAGE_DIR}/" DESTINATION . FILES_MATCHING PATTERN "*.html" PATTERN "*.css" PATTERN "*.js")
  configure_file(packaging/web/README.txt "${CMAKE_CURRENT_BINARY_DIR}/README.txt" @ONLY)
  install(FILES LICENSE "${CMAKE_CURRENT_BINARY_DIR}/README.txt" examples/eeprom.hex DESTINATION .)
  set(CPACK_PACKAGE_FILE_NAME "kml-${PROJECT_VERSION}-web")
elseif(WIN32)
  # Unzipped, the folder holds kml.exe beside the sample log, ready to run: a double-click
  # converts it. Its README has Windows' line ends, for any editor there.
  install(TARGETS kml RUNTIME DESTINATION .)
  configure_file(packaging/windows/README.txt "${CMAKE_CURRENT_BINARY_DIR}/README.txt" @ONLY NEWLINE_STYLE CRLF)
  install(FILES LICENSE "${CMAKE_CURRENT_BINARY_DIR}/README.txt" examples/eeprom.hex DESTINATION .)
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

# The time of the last changelog entry ("Mon, 07 Dec 2026 12:00:00 +0000"), in seconds
# since 1970, is every package's time stamp: CPack takes it from SOURCE_DATE_EPOCH.
file(STRINGS packaging/changelog trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT trailer MATCHES " ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9]+) ([0-9][0-9]):([0-9][0-9]):([0-9][0-9]) \\+0000$")
  message(FATAL_ERROR "packaging/changelog: the last entry's date is not in UTC as Debian writes it")
endif()
set(KML_MONTHS Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND KML_MONTHS ${CMAKE_MATCH_2} month)
math(EXPR month "${month} + 1")
# Days since 1970-01-01 of a date in the Gregorian calendar, counted from March.
if(month GREATER 2)
  set(year ${CMAKE_MATCH_3})
  math(EXPR shifted "${month} - 3")
else()
  math(EXPR year "${CMAKE_MATCH_3} - 1")
  math(EXPR shifted "${month} + 9")
endif()
# (Two-digit fields are read as 1DD - 100: a leading zero is no octal here.)
math(EXPR KML_SOURCE_DATE_EPOCH
  "((${year} / 400) * 146097 + (${year} % 400) * 365 + (${year} % 400) / 4 - (${year} % 400) / 100
    + (153 * ${shifted} + 2) / 5 + 1${CMAKE_MATCH_1} - 100 - 1 - 719468) * 86400
    + (1${CMAKE_MATCH_4} - 100) * 3600 + (1${CMAKE_MATCH_5} - 100) * 60 + 1${CMAKE_MATCH_6} - 100")
file(WRITE "${CMAKE_BINARY_DIR}/package_time.cmake" "set(ENV{SOURCE_DATE_EPOCH} ${KML_SOURCE_DATE_EPOCH})\n")
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_BINARY_DIR}/package_time.cmake")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
