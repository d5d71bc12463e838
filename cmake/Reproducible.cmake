# Reproducible builds: the same commit built in any directory gives the same bytes. Paths of the
# source and build trees are mapped out of __FILE__ and debug information, and archives carry no
# timestamps, owners or modes. On ELF the build id is a hash of the linked contents (Mach-O's
# linker writes a UUID from the contents by itself).
add_compile_options(
  "$<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=;-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>")

if(APPLE)
  # Apple's ar has no D modifier; its libtool -D writes the same neutral owners, dates and modes,
  # and its table of contents with them, so no ranlib follows.
  set(TARNWICK_APPLE_LIBTOOL /usr/bin/xcrun libtool -static -D -no_warning_for_no_symbols)
  list(JOIN TARNWICK_APPLE_LIBTOOL " " TARNWICK_APPLE_LIBTOOL)
  foreach(lang C CXX)
    set(CMAKE_${lang}_ARCHIVE_CREATE "${TARNWICK_APPLE_LIBTOOL} -o <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_APPEND "${TARNWICK_APPLE_LIBTOOL} -o <TARGET> <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_FINISH "")
  endforeach()
  set(CMAKE_ASM_CREATE_STATIC_LIBRARY "${TARNWICK_APPLE_LIBTOOL} -o <TARGET> <LINK_FLAGS> <OBJECTS>")
else()
  add_link_options(LINKER:--build-id=sha1)
  # (Debian's ar makes deterministic archives by default, which the ASM rule's plain `cr` gets.)
  foreach(lang C CXX)
    set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
  endforeach()
endif()
