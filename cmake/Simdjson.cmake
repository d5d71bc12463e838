# simdjson for the JSON reader, as the target `tarnwick_simdjson`. Debian's libsimdjson-dev ships
# the header and a shared library only; a static build compiles the matching implementation file
# from Debian's source package (fetched by scripts/setup) into the executable instead.
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
