# What `cmake --install` puts in place: the two executables in bin/, their manual pages in
# share/man/man1/, the protocol schemas and example requests in share/doc/tarnwick_apple/.
include(GNUInstallDirs)

install(TARGETS tarnwick_apple RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tarnwick_apple_schema)
  install(TARGETS tarnwick_apple_schema RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES docs/man/tarnwick_apple.1 docs/man/tarnwick_apple_schema.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
file(GLOB TARNWICK_PROTOCOL_SCHEMAS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/protocol/*.json)
install(FILES ${TARNWICK_PROTOCOL_SCHEMAS} DESTINATION ${CMAKE_INSTALL_DOCDIR}/protocol)
file(GLOB TARNWICK_EXAMPLES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/examples/*.json)
install(FILES ${TARNWICK_EXAMPLES} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
