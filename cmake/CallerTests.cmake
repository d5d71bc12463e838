# Tests of what a caller gets besides the executables: the protocol schemas against real lines,
# the manual pages, install and package, hardening, and the Python and Node.js clients run against
# the test sidecars. Included after tests/, whose targets they run.

# The Python that runs them: the first of Debian's /usr/bin/python3 and the python3 on PATH that
# imports jsonschema (Debian's python3-jsonschema installs for /usr/bin/python3 only).
if(NOT TARNWICK_PYTHON)
  find_program(TARNWICK_PATH_PYTHON NAMES python3)
  foreach(candidate /usr/bin/python3 ${TARNWICK_PATH_PYTHON})
    if(EXISTS ${candidate})
      execute_process(COMMAND ${candidate} -c "import jsonschema" RESULT_VARIABLE no_jsonschema
        OUTPUT_QUIET ERROR_QUIET)
      if(NOT no_jsonschema)
        set(TARNWICK_PYTHON ${candidate} CACHE FILEPATH "Python 3 with jsonschema, for the script tests")
        break()
      endif()
    endif()
  endforeach()
  if(NOT TARNWICK_PYTHON)
    message(WARNING "no Python 3 with jsonschema (apt-get install python3-jsonschema): protocol tests will fail")
    set(TARNWICK_PYTHON /usr/bin/python3)
  endif()
endif()
find_program(TARNWICK_NODE NAMES node nodejs)

set(TARNWICK_TEST_SIDECAR_DIR "$<TARGET_FILE_DIR:tarnwick_apple_reference>")
set(TARNWICK_CALLER_TEST_ENV
  "TARNWICK_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
  "TARNWICK_TEST_SIDECARS=${TARNWICK_TEST_SIDECAR_DIR}"
  "TARNWICK_TEST_REFERENCE=${TARNWICK_TEST_SIDECAR_DIR}/tarnwick_apple_reference"
  "TARNWICK_TEST_DOUBLE=${TARNWICK_TEST_SIDECAR_DIR}/tarnwick_apple_double"
  "TARNWICK_TEST_NEVER_ANSWERS=${CMAKE_SOURCE_DIR}/tests/clients/never-answers.sh"
  "TARNWICK_SCHEMA_CHECKER=$<TARGET_FILE:tarnwick_apple_schema>")

function(tarnwick_caller_test name)
  cmake_parse_arguments(arg "" "DIRECTORY" "COMMAND;ENVIRONMENT" ${ARGN})
  add_test(NAME ${name} COMMAND ${arg_COMMAND} WORKING_DIRECTORY ${arg_DIRECTORY})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${TARNWICK_CALLER_TEST_ENV};${arg_ENVIRONMENT}")
endfunction()

foreach(suite SidecarLines CheckerLines Documents)
  tarnwick_caller_test(protocol.${suite} DIRECTORY ${CMAKE_SOURCE_DIR}/tests/protocol
    COMMAND ${TARNWICK_PYTHON} -m unittest -v test_protocol.${suite})
endforeach()

# Real schemas beyond the core subset, and the reference engine's answers to them.
tarnwick_caller_test(corpus.Corpus DIRECTORY ${CMAKE_SOURCE_DIR}/tests/corpus
  COMMAND ${TARNWICK_PYTHON} -m unittest -v test_corpus.Corpus)

foreach(page tarnwick_apple tarnwick_apple_schema)
  tarnwick_caller_test(manpage.${page} DIRECTORY ${CMAKE_SOURCE_DIR}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/docs/check-manpage.sh ${CMAKE_SOURCE_DIR}/docs/man/${page}.1)
endforeach()

# What is installed and shipped. Off Apple platforms the Swift-shim build is a test path whose
# shim is a shared library of the build tree, not a product: it is neither installed nor checked.
if(NOT (TARNWICK_SWIFT_BUILT AND NOT APPLE))
  if(TARNWICK_STATIC AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(_tarnwick_link static)
  else()
    set(_tarnwick_link dynamic)
  endif()
  tarnwick_caller_test(install.tree DIRECTORY ${CMAKE_BINARY_DIR}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/install/check-install.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
  tarnwick_caller_test(install.debian_package DIRECTORY ${CMAKE_BINARY_DIR}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/install/check-package.sh ${CMAKE_BINARY_DIR} ${_tarnwick_link})
  set_tests_properties(install.tree install.debian_package PROPERTIES RUN_SERIAL ON)  # both install the build
  if(TARNWICK_HARDEN AND NOT TARNWICK_SANITIZE AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
    foreach(exe tarnwick_apple tarnwick_apple_schema)
      tarnwick_caller_test(hardening.${exe} DIRECTORY ${CMAKE_BINARY_DIR}
        COMMAND ${CMAKE_SOURCE_DIR}/tests/install/check-hardening.sh $<TARGET_FILE:${exe}>)
    endforeach()
  endif()
endif()

foreach(suite test_client.PlainText test_client.Structured test_client.Errors test_client.ProbeAndTimeout
    test_client.Readme test_client.Conversations test_client.Streaming test_ordering.WrittenOrder test_arguments.Arguments test_typing.Typing)
  tarnwick_caller_test(python_client.${suite} DIRECTORY ${CMAKE_SOURCE_DIR}/clients/python/tests
    COMMAND ${TARNWICK_PYTHON} -m unittest -v ${suite}
    ENVIRONMENT "PYTHONPATH=${CMAKE_SOURCE_DIR}/clients/python")
endforeach()

if(TARNWICK_NODE)
  foreach(suite client check arguments types)
    tarnwick_caller_test(node_client.${suite} DIRECTORY ${CMAKE_SOURCE_DIR}/clients/node
      COMMAND ${TARNWICK_NODE} --test test/${suite}.test.js)
  endforeach()
else()
  message(WARNING "node not found: the Node.js client is not tested (apt-get install nodejs)")
endif()

tarnwick_caller_test(install.run_example DIRECTORY ${CMAKE_BINARY_DIR}
  COMMAND ${CMAKE_SOURCE_DIR}/tests/install/check-run-example.sh ${CMAKE_SOURCE_DIR})

tarnwick_caller_test(install.client_versions DIRECTORY ${CMAKE_SOURCE_DIR}
  COMMAND ${CMAKE_SOURCE_DIR}/tests/install/check-versions.sh ${PROJECT_VERSION} ${CMAKE_SOURCE_DIR})

# Hang guard: the largest case of each hostile-input family of bench/complexity.py, once, with a
# generous deadline and its expected answer; its speed is measured by the script itself.
foreach(family nested-empty-loops const-against-pattern slow-shortest-string long-pattern-compile
    counted-repetitions white-space-run many-required-names deep-nesting empty-object-enum)
  tarnwick_caller_test(complexity.${family} DIRECTORY ${CMAKE_SOURCE_DIR}
    COMMAND ${TARNWICK_PYTHON} bench/complexity.py --largest --deadline 60 --family ${family}
      --sidecar ${TARNWICK_TEST_SIDECAR_DIR}/tarnwick_apple_reference --checker $<TARGET_FILE:tarnwick_apple_schema>)
endforeach()

# The include rules between the layers, on trees made to break them and on this one.
tarnwick_caller_test(layers.Rules DIRECTORY ${CMAKE_BINARY_DIR}
  COMMAND ${CMAKE_COMMAND} -DTARNWICK_SOURCE_DIR=${CMAKE_SOURCE_DIR} -DWORK=${CMAKE_BINARY_DIR}/layers-test
          -P ${CMAKE_SOURCE_DIR}/tests/layers/LayersTest.cmake)
