# What `cmake --install` puts in place: the two executables in bin/, their manual pages in
# share/man/man1/, the licence, the protocol schemas and the example requests in
# share/doc/tarnwick-apple/ (the Debian package's name, so the package and an install agree).
include(GNUInstallDirs)
# GNUInstallDirs names the directory after the project (tarnwick_apple); one set by hand stays.
if(NOT CMAKE_INSTALL_DOCDIR OR CMAKE_INSTALL_DOCDIR STREQUAL "${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME}")
  set(CMAKE_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/tarnwick-apple")
endif()

install(TARGETS tarnwick_apple RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tarnwick_apple_schema)
  install(TARGETS tarnwick_apple_schema RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Manual pages: gzipped at build time off Apple platforms, as Debian has them (-n leaves the name
# and time out, so the bytes are the same in every build); as written on macOS, as Homebrew's are.
if(APPLE)
  install(FILES docs/man/tarnwick_apple.1 docs/man/tarnwick_apple_schema.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  set(TARNWICK_MAN_PAGES "")
  foreach(page tarnwick_apple tarnwick_apple_schema)
    set(_tarnwick_gz "${CMAKE_BINARY_DIR}/man/${page}.1.gz")
    add_custom_command(OUTPUT ${_tarnwick_gz}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/docs/man/${page}.1 > ${_tarnwick_gz}
      DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${page}.1
      COMMENT "gzip ${page}.1")
    list(APPEND TARNWICK_MAN_PAGES ${_tarnwick_gz})
  endforeach()
  add_custom_target(tarnwick_man_pages ALL DEPENDS ${TARNWICK_MAN_PAGES})
  install(FILES ${TARNWICK_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
file(GLOB TARNWICK_PROTOCOL_SCHEMAS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/protocol/*.json)
install(FILES ${TARNWICK_PROTOCOL_SCHEMAS} DESTINATION ${CMAKE_INSTALL_DOCDIR}/protocol)
file(GLOB TARNWICK_EXAMPLES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/examples/*.json)
install(FILES ${TARNWICK_EXAMPLES} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
