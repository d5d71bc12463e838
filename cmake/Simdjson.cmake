# simdjson for the JSON reader, as the target `tarnwick_simdjson`. Debian's libsimdjson-dev ships
# the header and a shared library only; a static build compiles the matching implementation file
# from Debian's source package (fetched by scripts/setup) into the executable instead.

# Or a simdjson single-header release (a directory with simdjson.h and simdjson.cpp, e.g. from a
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

find_package(simdjson 3 REQUIRED)
add_library(tarnwick_simdjson INTERFACE)
if(TARNWICK_STATIC)
  set(TARNWICK_SIMDJSON_SOURCE "/usr/local/src/tarnwick_apple/simdjson-${simdjson_VERSION}/simdjson.cpp"
    CACHE FILEPATH "simdjson.cpp matching the installed simdjson.h (scripts/setup fetches it)")
  if(NOT EXISTS "${TARNWICK_SIMDJSON_SOURCE}")
    message(FATAL_ERROR "simdjson: ${TARNWICK_SIMDJSON_SOURCE} is missing; run scripts/setup")
  endif()
  add_library(tarnwick_simdjson_static STATIC "${TARNWICK_SIMDJSON_SOURCE}")
  target_compile_options(tarnwick_simdjson_static PRIVATE -w)
  target_link_libraries(tarnwick_simdjson INTERFACE tarnwick_simdjson_static)
else()
  target_link_libraries(tarnwick_simdjson INTERFACE simdjson::simdjson)
endif()
