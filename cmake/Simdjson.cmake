# simdjson for the JSON reader, as the target `tarnwick_simdjson`: any release from 3.0 on (Debian 12
# ships 3.0.x, Homebrew 4.x). simdjson's package accepts only a request for its own major version,
# so none is requested and the lowest one is checked here.
# A simdjson single-header release (a directory with simdjson.h and simdjson.cpp, e.g. from a
# Python package's source distribution) compiled in instead, to check the reader against another
# simdjson version; the reader uses only simdjson's public API.
set(TARNWICK_SIMDJSON_SOURCE_DIR "" CACHE PATH "A directory holding simdjson.h and simdjson.cpp to build against")
if(TARNWICK_SIMDJSON_SOURCE_DIR)
  if(NOT EXISTS "${TARNWICK_SIMDJSON_SOURCE_DIR}/simdjson.h" OR NOT EXISTS "${TARNWICK_SIMDJSON_SOURCE_DIR}/simdjson.cpp")
    message(FATAL_ERROR "simdjson: ${TARNWICK_SIMDJSON_SOURCE_DIR} holds no simdjson.h and simdjson.cpp")
  endif()
  add_library(tarnwick_simdjson_static STATIC "${TARNWICK_SIMDJSON_SOURCE_DIR}/simdjson.cpp")
  target_include_directories(tarnwick_simdjson_static SYSTEM PUBLIC "${TARNWICK_SIMDJSON_SOURCE_DIR}")
  target_compile_options(tarnwick_simdjson_static PRIVATE -w)
  add_library(tarnwick_simdjson INTERFACE)
  target_link_libraries(tarnwick_simdjson INTERFACE tarnwick_simdjson_static)
  return()
endif()

set(TARNWICK_SIMDJSON_MINIMUM 3.0)  # the reader uses simdjson's public UTF-8 check, there from 3.0
find_package(simdjson CONFIG REQUIRED)
if(simdjson_VERSION VERSION_LESS TARNWICK_SIMDJSON_MINIMUM)
  message(FATAL_ERROR "simdjson ${simdjson_VERSION} found in ${simdjson_DIR}; the JSON reader needs "
    "${TARNWICK_SIMDJSON_MINIMUM} or later")
endif()
message(STATUS "simdjson ${simdjson_VERSION} (${simdjson_DIR})")

add_library(tarnwick_simdjson INTERFACE)
if(NOT TARNWICK_STATIC)
  target_link_libraries(tarnwick_simdjson INTERFACE simdjson::simdjson)
  return()
endif()

# A static build links simdjson statically. Homebrew installs libsimdjson.a beside the shared
# library its package names; Debian's libsimdjson-dev has a shared library only, and the
# matching simdjson.cpp from Debian's source package (scripts/setup fetches it) is compiled in.
get_filename_component(_tarnwick_simdjson_libdir "${simdjson_DIR}/../.." ABSOLUTE)
find_library(TARNWICK_SIMDJSON_ARCHIVE NAMES libsimdjson.a PATHS ${_tarnwick_simdjson_libdir} NO_DEFAULT_PATH)
if(TARNWICK_SIMDJSON_ARCHIVE)
  get_target_property(_tarnwick_simdjson_include simdjson::simdjson INTERFACE_INCLUDE_DIRECTORIES)
  target_include_directories(tarnwick_simdjson INTERFACE ${_tarnwick_simdjson_include})
  target_link_libraries(tarnwick_simdjson INTERFACE ${TARNWICK_SIMDJSON_ARCHIVE})
  return()
endif()
set(TARNWICK_SIMDJSON_SOURCE "/usr/local/src/tarnwick_apple/simdjson-${simdjson_VERSION}/simdjson.cpp"
  CACHE FILEPATH "simdjson.cpp matching the installed simdjson.h (scripts/setup fetches it)")
if(NOT EXISTS "${TARNWICK_SIMDJSON_SOURCE}")
  message(FATAL_ERROR "simdjson: no libsimdjson.a in ${_tarnwick_simdjson_libdir}, and "
    "${TARNWICK_SIMDJSON_SOURCE} is missing; run scripts/setup")
endif()
add_library(tarnwick_simdjson_static STATIC "${TARNWICK_SIMDJSON_SOURCE}")
target_compile_options(tarnwick_simdjson_static PRIVATE -w)
target_link_libraries(tarnwick_simdjson INTERFACE tarnwick_simdjson_static)
