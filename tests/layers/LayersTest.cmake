# The include rules, on small trees made for each case: one file including one header, and what
# cmake/Layers.cmake answers. Run with -DTARNWICK_SOURCE_DIR=<repository> -DWORK=<scratch dir>.
cmake_minimum_required(VERSION 3.25)

# file | its include | the fault expected ("" when the include is allowed)
set(cases
  "TarnwickApple/Schema/A.cpp|TarnwickApple/JSON/JSONValue.hpp|"
  "TarnwickApple/Sidecar.cpp|TarnwickApple/Text/Unicode.hpp|"
  "testing/A.cpp|TarnwickApple/Engines/Reference/ReferenceEngine.hpp|"
  "TarnwickApple/Schema/A.cpp|TarnwickApple/Schema/internal/Explain.hpp|"
  "TarnwickApple/JSON/A.cpp|TarnwickApple/Schema/SchemaNote.hpp|which is above or beside TarnwickApple/JSON"
  "TarnwickApple/Errors/A.cpp|TarnwickApple/Protocol/Wire.hpp|which is above or beside TarnwickApple/Errors"
  "TarnwickApple/Text/A.hpp|TarnwickApple/Sidecar.hpp|which is above or beside TarnwickApple/Text"
  "TarnwickApple/Engines/Reference/A.cpp|TarnwickApple/Engines/Framework/FrameworkEngine.hpp|which is above or beside TarnwickApple/Engines/Reference"
  "TarnwickApple/Engines/Framework/A.cpp|testing/ReferenceBoundary.hpp|which is above or beside TarnwickApple/Engines/Framework"
  "tarnwick_apple_schema/A.cpp|TarnwickApple/Sidecar.hpp|which is above or beside tarnwick_apple_schema"
  "TarnwickApple/Protocol/A.cpp|TarnwickApple/Schema/internal/Explain.hpp|internal to TarnwickApple/Schema"
  "TarnwickApple/Elsewhere/A.cpp|TarnwickApple/Text/Unicode.hpp|in no layer")

set(failures "")
set(index 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 file)
  list(GET fields 1 include)
  list(LENGTH fields count)
  set(expected "")
  if(count GREATER 2)
    list(GET fields 2 expected)
  endif()
  set(root "${WORK}/case${index}")
  math(EXPR index "${index} + 1")
  file(REMOVE_RECURSE "${root}")
  file(WRITE "${root}/${file}" "#include <vector>\n#include \"${include}\"\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DTARNWICK_LAYERS_ROOT=${root}
                          -P ${TARNWICK_SOURCE_DIR}/cmake/Layers.cmake
                  RESULT_VARIABLE status ERROR_VARIABLE output OUTPUT_QUIET)
  string(REGEX REPLACE "[ \n]+" " " output "${output}")
  if(expected STREQUAL "")
    if(NOT status EQUAL 0)
      list(APPEND failures "${file} including ${include} was refused: ${output}")
    endif()
  else()
    string(FIND "${output}" "${file}: " at_file)
    string(FIND "${output}" "${expected}" at_reason)
    if(status EQUAL 0 OR at_file EQUAL -1 OR at_reason EQUAL -1)
      list(APPEND failures "${file} including ${include}: expected \"${expected}\", got status ${status}: ${output}")
    endif()
  endif()
endforeach()

# The repository itself keeps the rules.
execute_process(COMMAND ${CMAKE_COMMAND} -DTARNWICK_LAYERS_ROOT=${TARNWICK_SOURCE_DIR}
                        -P ${TARNWICK_SOURCE_DIR}/cmake/Layers.cmake
                RESULT_VARIABLE status ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  list(APPEND failures "the repository: ${output}")
endif()

if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "${text}")
endif()
message(STATUS "all ${index} cases and the repository as expected")
