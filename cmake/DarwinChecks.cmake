# Checks of the Mac build that run on Linux: the `macos` preset configured for a Darwin target
# against stand-in Homebrew and Xcode prefixes, its commands read without building anything; the
# ICU data extraction it runs, tried on a real Mach-O object; scripts/macos-smoke. Included after
# CallerTests.cmake, whose test function and environment it uses.
if(APPLE OR NOT CMAKE_HOST_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()

set(TARNWICK_DARWIN_WORK ${CMAKE_BINARY_DIR}/darwin-check)
add_test(NAME darwin_build.configure
  COMMAND ${TARNWICK_PYTHON} ${CMAKE_SOURCE_DIR}/tests/darwin/configure_darwin.py ${CMAKE_SOURCE_DIR} ${TARNWICK_DARWIN_WORK})
set_tests_properties(darwin_build.configure PROPERTIES FIXTURES_SETUP darwin_commands)
foreach(suite Commands ChecksFindFaults)
  add_test(NAME darwin_build.${suite} COMMAND ${TARNWICK_PYTHON} -m unittest -v test_darwin_build.${suite}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/darwin)
  set_tests_properties(darwin_build.${suite} PROPERTIES ENVIRONMENT "TARNWICK_DARWIN_WORK=${TARNWICK_DARWIN_WORK}")
endforeach()
set_tests_properties(darwin_build.Commands PROPERTIES FIXTURES_REQUIRED darwin_commands)

# The ICU package this build made is the one turned into a Mach-O object.
if(TARGET tarnwick_icu_data)
  add_test(NAME darwin_build.icu_data_from_mach_o
    COMMAND ${CMAKE_SOURCE_DIR}/tests/darwin/check-icu-macho.sh ${CMAKE_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/icu-data/reduced/${_tarnwick_icu_name}.dat ${TARNWICK_GENCCODE})
endif()

# The Mac smoke script, run against the framework engine's test sidecar.
foreach(suite Runs Readers)
  tarnwick_caller_test(macos_smoke.${suite} DIRECTORY ${CMAKE_SOURCE_DIR}/tests/darwin
    COMMAND ${TARNWICK_PYTHON} -m unittest -v test_macos_smoke.${suite})
endforeach()

# The Homebrew formula (Debian's ruby parses it) and the Mac workflow, against the README.
tarnwick_caller_test(homebrew.Formula DIRECTORY ${CMAKE_SOURCE_DIR}/tests/darwin
  COMMAND ${TARNWICK_PYTHON} -m unittest -v test_homebrew_formula.Formula)
