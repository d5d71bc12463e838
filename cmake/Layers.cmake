# Checks that every include in the product runs down the layers, never up or across, and that an
# `internal/` header is included only from its own folder. Runs at configure time (a bad include
# stops the build before it starts) and as `cmake -DTARNWICK_LAYERS_ROOT=<dir> -P Layers.cmake`,
# which the tests use on trees made to break the rules.
#
# A room is a folder that builds as one library; each names the rooms it may include, and may
# also include what those may (the order is transitive). Tests, benchmarks and fuzz targets are
# outside the product and may include anything.
if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25)
endif()

set(_rooms
  "TarnwickApple/Text"
  "TarnwickApple/JSON"
  "TarnwickApple/FoundationModels"
  "TarnwickApple/Errors"
  "TarnwickApple/Schema"
  "TarnwickApple/Protocol"
  "TarnwickApple/Sidecar"
  "TarnwickApple/Engines/Reference"
  "TarnwickApple/Engines/Framework"
  "TarnwickApple/Platform"
  "testing"
  "tarnwick_apple"
  "tarnwick_apple_schema")
set(_below_TarnwickApple/Text "")
set(_below_TarnwickApple/JSON "TarnwickApple/Text")
set(_below_TarnwickApple/FoundationModels "TarnwickApple/JSON")
set(_below_TarnwickApple/Errors "TarnwickApple/FoundationModels")
set(_below_TarnwickApple/Schema "TarnwickApple/Errors")
set(_below_TarnwickApple/Protocol "TarnwickApple/Schema")
set(_below_TarnwickApple/Sidecar "TarnwickApple/Protocol")
set(_below_TarnwickApple/Engines/Reference "TarnwickApple/FoundationModels")
set(_below_TarnwickApple/Engines/Framework "TarnwickApple/FoundationModels")
set(_below_TarnwickApple/Platform "")
set(_below_testing "TarnwickApple/Engines/Framework;TarnwickApple/Engines/Reference")
set(_below_tarnwick_apple "TarnwickApple/Sidecar")
set(_below_tarnwick_apple_schema "TarnwickApple/Protocol")

# The room a repository path belongs to (the longest matching folder), or "" outside the product.
# The driver's own files sit beside the layer folders, so a file directly in TarnwickApple/ is
# the driver's.
function(_tarnwick_room path out)
  set(found "")
  foreach(room IN LISTS _rooms)
    string(LENGTH "${room}/" n)
    string(SUBSTRING "${path}" 0 ${n} head)
    if(head STREQUAL "${room}/")
      set(found "${room}")
    endif()
  endforeach()
  if(found STREQUAL "" AND path MATCHES "^TarnwickApple/[^/]+$")
    set(found "TarnwickApple/Sidecar")
  endif()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# Every room `room` may include: itself and all below it.
function(_tarnwick_reach room out)
  set(reach "${room}")
  set(pending ${_below_${room}})
  while(pending)
    list(POP_FRONT pending next)
    if(NOT next IN_LIST reach)
      list(APPEND reach "${next}")
      list(APPEND pending ${_below_${next}})
    endif()
  endwhile()
  set(${out} "${reach}" PARENT_SCOPE)
endfunction()

function(tarnwick_check_layers root)
  file(GLOB_RECURSE files RELATIVE "${root}" LIST_DIRECTORIES false
    "${root}/TarnwickApple/*.cpp" "${root}/TarnwickApple/*.hpp" "${root}/TarnwickApple/*.h"
    "${root}/testing/*.cpp" "${root}/testing/*.hpp" "${root}/testing/*.h"
    "${root}/tarnwick_apple/*.cpp" "${root}/tarnwick_apple_schema/*.cpp")
  list(SORT files)
  set(faults "")
  foreach(file IN LISTS files)
    _tarnwick_room("${file}" room)
    if(room STREQUAL "")
      list(APPEND faults "${file}: in no layer (add its folder to cmake/Layers.cmake)")
      continue()
    endif()
    _tarnwick_reach("${room}" reach)
    file(STRINGS "${root}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" target "${line}")
      _tarnwick_room("${target}" to)
      if(to STREQUAL "")
        continue()  # a system or third-party header
      endif()
      if(NOT to IN_LIST reach)
        list(APPEND faults "${file}: includes ${target}, which is above or beside ${room}")
      elseif(target MATCHES "/internal/" AND NOT to STREQUAL room)
        list(APPEND faults "${file}: includes ${target}, internal to ${to}")
      endif()
    endforeach()
  endforeach()
  if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "includes that run against the layers:\n  ${text}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  tarnwick_check_layers("${TARNWICK_LAYERS_ROOT}")
else()
  tarnwick_check_layers("${PROJECT_SOURCE_DIR}")
endif()
