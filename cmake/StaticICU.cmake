# ICU linked statically, with its data reduced at build time to the items in
# cmake/icu-data-items.txt: the target `tarnwick_icu_static`. The same logic serves Debian's
# libicu-dev and, on macOS, Homebrew's static icu4c (configure with -DICU_ROOT=<its prefix>).
# Needs ICU's icupkg and genccode (Debian's icu-devtools, Homebrew's icu4c).
enable_language(ASM)

set(_tarnwick_suffixes ${CMAKE_FIND_LIBRARY_SUFFIXES})
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
find_package(ICU 70 REQUIRED COMPONENTS uc i18n data)
set(CMAKE_FIND_LIBRARY_SUFFIXES ${_tarnwick_suffixes})
find_program(TARNWICK_ICUPKG icupkg HINTS ${ICU_ROOT}/sbin ${ICU_ROOT}/bin PATHS /usr/sbin REQUIRED)
find_program(TARNWICK_GENCCODE genccode HINTS ${ICU_ROOT}/sbin ${ICU_ROOT}/bin PATHS /usr/sbin REQUIRED)

string(REGEX MATCH "^[0-9]+" _tarnwick_icu_major "${ICU_VERSION}")
set(_tarnwick_icu_name "icudt${_tarnwick_icu_major}l")  # the little-endian package ICU's code looks for
set(_tarnwick_icu_dir "${CMAKE_BINARY_DIR}/icu-data")
set(_tarnwick_icu_items "${CMAKE_SOURCE_DIR}/cmake/icu-data-items.txt")
# Homebrew's icu4c ships no .dat, only its data library; Xcode has no objcopy, so the Mach-O
# object is read by ExtractICUData.cmake itself.
if(APPLE)
  set(_tarnwick_icu_assembly gcc-darwin)
  set(_tarnwick_icu_object_format -DMACHO=ON)
else()
  set(_tarnwick_icu_assembly gcc)
  set(_tarnwick_icu_object_format -DOBJCOPY=${CMAKE_OBJCOPY})
endif()

# ICU's whole data package: the one data object in its static data library.
set(TARNWICK_ICU_DATA_FILE "" CACHE FILEPATH "ICU's full .dat package (default: taken out of ICU's static data library)")
if(TARNWICK_ICU_DATA_FILE)
  set(_tarnwick_icu_full "${TARNWICK_ICU_DATA_FILE}")
  set(_tarnwick_icu_extract "")
else()
  set(_tarnwick_icu_full "${_tarnwick_icu_dir}/full/${_tarnwick_icu_name}.dat")
  set(_tarnwick_icu_extract
    COMMAND ${CMAKE_COMMAND} -E make_directory full/objects
    COMMAND ${CMAKE_COMMAND} -E chdir full/objects ${CMAKE_AR} x ${ICU_DATA_LIBRARY}
    COMMAND ${CMAKE_COMMAND} ${_tarnwick_icu_object_format} -DOBJECTS=full/objects -DOUT=${_tarnwick_icu_full}
            -P ${CMAKE_SOURCE_DIR}/cmake/ExtractICUData.cmake)
endif()

set(_tarnwick_icu_assembly_file "${_tarnwick_icu_dir}/${_tarnwick_icu_name}_dat.S")
add_custom_command(
  OUTPUT ${_tarnwick_icu_assembly_file}
  COMMAND ${CMAKE_COMMAND} -E rm -rf items reduced
  COMMAND ${CMAKE_COMMAND} -E make_directory items reduced
  ${_tarnwick_icu_extract}
  COMMAND ${CMAKE_COMMAND} -DIN=${_tarnwick_icu_items} -DOUT=items.txt -P ${CMAKE_SOURCE_DIR}/cmake/ICUDataItems.cmake
  COMMAND ${TARNWICK_ICUPKG} -d items -x items.txt ${_tarnwick_icu_full}
  # --ignore-deps: root.res names every break rule, and only those listed are wanted.
  COMMAND ${TARNWICK_ICUPKG} -tl --ignore-deps -s items -a items.txt new reduced/${_tarnwick_icu_name}.dat
  COMMAND ${TARNWICK_GENCCODE} -a ${_tarnwick_icu_assembly} -e icudt${_tarnwick_icu_major} -d . reduced/${_tarnwick_icu_name}.dat
  WORKING_DIRECTORY ${_tarnwick_icu_dir}
  DEPENDS ${_tarnwick_icu_items} ${TARNWICK_ICU_DATA_FILE} ${ICU_DATA_LIBRARY}
  COMMENT "ICU data reduced to the items in cmake/icu-data-items.txt"
  VERBATIM)
file(MAKE_DIRECTORY ${_tarnwick_icu_dir})

add_library(tarnwick_icu_data STATIC ${_tarnwick_icu_assembly_file})
add_library(tarnwick_icu_static INTERFACE)
target_include_directories(tarnwick_icu_static INTERFACE ${ICU_INCLUDE_DIRS})
# i18n before uc, and the reduced data last, in place of ICU's own data library.
target_link_libraries(tarnwick_icu_static INTERFACE ${ICU_I18N_LIBRARY} ${ICU_UC_LIBRARY} tarnwick_icu_data
  ${CMAKE_DL_LIBS} Threads::Threads)
find_package(Threads REQUIRED)
