# Installing the Linux tonvane and packing it as a Debian package:
#   cmake --install build/release --prefix /usr   or   cpack (in the build folder)

set(TONVANE_DOC_DIR share/doc/tonvane)

install(TARGETS tonvane RUNTIME DESTINATION bin)

# Debian wants its manual page and changelog compressed, without the time
# of compression, so that the package stays the same from build to build.
foreach(page IN ITEMS tonvane.1 changelog)
  set(source ${CMAKE_SOURCE_DIR}/docs/tonvane.1)
  if(page STREQUAL "changelog")
    set(source ${CMAKE_SOURCE_DIR}/packaging/changelog)
  endif()
  add_custom_command(OUTPUT ${page}.gz
                     COMMAND gzip -9 -n -c ${source} > ${page}.gz
                     DEPENDS ${source} VERBATIM)
endforeach()
add_custom_target(compressed_docs ALL DEPENDS tonvane.1.gz changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/tonvane.1.gz DESTINATION share/man/man1)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${TONVANE_DOC_DIR}
        RENAME changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/copyright
        DESTINATION ${TONVANE_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tonvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "makes a MIDI driver the MIDI mapper's instrument in a Wine prefix")
set(CPACK_PACKAGE_DESCRIPTION
    "Tonvane finds the first instance of the MEDIA device class in the registry
of a Wine prefix that holds the named MIDI output driver, and makes it the
MIDI mapper's current instrument for the default user (CurrentInstrument,
then Autoscheme = 0). It edits the prefix's registry files directly, the way
Wine reads them, changing only the lines of those two values, and refuses a
prefix whose wineserver is running.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
    "The Tonvane developers <maintainers@users.noreply.c-seed-2670d67c.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # dependencies read off the binary
include(CPack)
