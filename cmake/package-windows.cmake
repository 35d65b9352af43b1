# The Windows zip: tonvane.exe, README.txt with Windows line ends, and the
# SHA-256 sums of both.

configure_file(${CMAKE_SOURCE_DIR}/README.md ${CMAKE_BINARY_DIR}/README.txt NEWLINE_STYLE CRLF)
add_custom_command(OUTPUT SHA256SUMS
                   COMMAND ${CMAKE_COMMAND} -E sha256sum tonvane.exe README.txt > SHA256SUMS
                   DEPENDS tonvane ${CMAKE_BINARY_DIR}/README.txt VERBATIM)
add_custom_target(sums ALL DEPENDS SHA256SUMS)

install(FILES ${CMAKE_BINARY_DIR}/tonvane.exe ${CMAKE_BINARY_DIR}/README.txt
              ${CMAKE_BINARY_DIR}/SHA256SUMS DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tonvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(CPACK_PACKAGE_FILE_NAME tonvane-${PROJECT_VERSION}-win64)
else()
  set(CPACK_PACKAGE_FILE_NAME tonvane-${PROJECT_VERSION}-win32)
endif()
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
