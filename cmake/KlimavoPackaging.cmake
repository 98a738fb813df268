# Installing the workbench as a Linux program, and its Debian package.
#
# Layout under the prefix (/usr in the package):
#   bin/klimavo, bin/klimavo-cli
#   share/klimavo/seed, share/klimavo/samples    what a new home is seeded from
#   share/applications, share/metainfo           the launcher and its AppStream data
#   share/icons/hicolor/<size>/apps              the icon
#   share/man/man1/klimavo-cli.1.gz              generated from the CLI's own help
#   share/doc/klimavo                            the README and the documents
#   lib/udev/rules.d                             access for the logged-in user to IR devices

set(KLIMAVO_APP_ID org.klimavo.workbench)
set(packaging ${CMAKE_SOURCE_DIR}/packaging)

if(TARGET klimavo)
  install(FILES ${packaging}/linux/${KLIMAVO_APP_ID}.desktop DESTINATION share/applications)
  install(FILES ${packaging}/linux/${KLIMAVO_APP_ID}.metainfo.xml DESTINATION share/metainfo)
  foreach(size 48 64 128 256)
    install(FILES ${packaging}/icons/klimavo-${size}.png
      DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${KLIMAVO_APP_ID}.png)
  endforeach()
  install(FILES ${packaging}/icons/klimavo.svg
    DESTINATION share/icons/hicolor/scalable/apps RENAME ${KLIMAVO_APP_ID}.svg)
endif()

install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/klimavo)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION share/doc/klimavo/docs
  FILES_MATCHING PATTERN "*.md")

# The manual page of klimavo-cli, written from its --help by help2man (the CLI
# runs at build time, so only where it can run: not when cross-compiling).
find_program(KLIMAVO_HELP2MAN help2man)
find_program(KLIMAVO_GZIP gzip)
if(KLIMAVO_HELP2MAN AND KLIMAVO_GZIP AND NOT CMAKE_CROSSCOMPILING)
  set(man_page ${CMAKE_BINARY_DIR}/man/klimavo-cli.1)
  add_custom_command(OUTPUT ${man_page}.gz
    COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:klimavo-cli> -DHELP2MAN=${KLIMAVO_HELP2MAN}
            -DOUT=${man_page} -DVERSION=${PROJECT_VERSION} -P ${CMAKE_SOURCE_DIR}/cmake/make_man_page.cmake
    COMMAND ${KLIMAVO_GZIP} -9nf ${man_page}
    DEPENDS klimavo-cli ${CMAKE_SOURCE_DIR}/cmake/make_man_page.cmake
    COMMENT "Writing the manual page of klimavo-cli")
  add_custom_target(klimavo_man ALL DEPENDS ${man_page}.gz)
  install(FILES ${man_page}.gz DESTINATION share/man/man1)
else()
  message(STATUS "help2man not found: klimavo-cli gets no manual page")
endif()

# The Debian package: `cpack -G DEB` in a build configured with
# CMAKE_INSTALL_PREFIX=/usr. Its library dependencies come from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME klimavo)
set(CPACK_PACKAGE_VENDOR "Klimavo")
set(CPACK_PACKAGE_CONTACT "Klimavo developers <klimavo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workbench for the infrared protocols of air conditioners")
set(CPACK_PACKAGE_DESCRIPTION
"Captures the signal of an air conditioner's remote through a USB IR learner or
a kernel IR receiver, decodes it without prior knowledge, keeps a library of
protocol records, finds the bits of each function and the checksum, and turns
a record into firmware tables for a programmable universal remote.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
