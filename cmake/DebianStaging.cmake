# Run by CPack on the staged package before it is built: Debian wants the licence as
# /usr/share/doc/<package>/copyright (machine-readable, the licence text in it), a changelog.gz
# beside it, and lintian's overrides in /usr/share/lintian/overrides/<package>. The changelog's date comes from SOURCE_DATE_EPOCH when set, as the package's file
# times do, so a reproducible build stays reproducible.
file(GLOB_RECURSE _licences "${CPACK_TEMPORARY_DIRECTORY}/*/${CPACK_TARNWICK_DOCDIR}/LICENSE")
if(NOT _licences)
  file(GLOB_RECURSE _licences "${CPACK_TEMPORARY_DIRECTORY}/${CPACK_TARNWICK_DOCDIR}/LICENSE")
endif()
list(LENGTH _licences _count)
if(NOT _count EQUAL 1)
  message(FATAL_ERROR "DebianDocs: expected one staged ${CPACK_TARNWICK_DOCDIR}/LICENSE, found: ${_licences}")
endif()
get_filename_component(_doc "${_licences}" DIRECTORY)

# copyright: the licence's holder line, then its text as a DEP-5 License paragraph (each line
# indented by one space, empty lines written as " .").
file(STRINGS "${_licences}" _lines)
set(_holder "")
set(_body "")
foreach(_line IN LISTS _lines)
  if(_holder STREQUAL "" AND _line MATCHES "^Copyright \\(c\\) (.*)$")
    set(_holder "${CMAKE_MATCH_1}")
  endif()
  if(_line STREQUAL "")
    string(APPEND _body " .\n")
  else()
    string(APPEND _body " ${_line}\n")
  endif()
endforeach()
if(_holder STREQUAL "")
  message(FATAL_ERROR "DebianDocs: no \"Copyright (c)\" line in LICENSE")
endif()
file(WRITE "${_doc}/copyright"
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: tarnwick_apple\n"
  "\n"
  "Files: *\n"
  "Copyright: ${_holder}\n"
  "License: Expat\n"
  "${_body}")
file(REMOVE "${_licences}")

string(TIMESTAMP _date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${_doc}/changelog"
  "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n"
  "\n"
  "  * Release ${CPACK_PACKAGE_VERSION}.\n"
  "\n"
  " -- ${CPACK_PACKAGE_CONTACT}  ${_date}\n")
execute_process(COMMAND gzip -9nf "${_doc}/changelog" RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
  message(FATAL_ERROR "DebianDocs: gzip of the changelog failed")
endif()

# The staged root is the directory that holds usr/ (docdir is share/doc/..., under usr/).
get_filename_component(_share "${_doc}" DIRECTORY)
get_filename_component(_share "${_share}" DIRECTORY)
file(MAKE_DIRECTORY "${_share}/lintian/overrides")
file(COPY_FILE "${CPACK_TARNWICK_SOURCE_DIR}/packaging/debian/lintian-overrides"
  "${_share}/lintian/overrides/${CPACK_PACKAGE_NAME}")
