# The Debian package (cpack -G DEB): what `cmake --install` installs, stripped, with its runtime
# dependencies computed by dpkg-shlibdeps from the executables as linked, so they come out right
# for a dynamic build and empty for a static one. cmake/DebianStaging.cmake turns the staged
# LICENSE into Debian's copyright file and adds the changelog and packaging/debian/lintian-overrides
# (the lintian tags that cannot apply to this package, and why).
set(TARNWICK_PACKAGE_MAINTAINER "The tarnwick_apple developers <developers@tarnwick-apple.org>"
  CACHE STRING "the Debian package's Maintainer")
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tarnwick-apple")  # Debian package names take no underscore
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The tarnwick_apple developers")
set(CPACK_PACKAGE_CONTACT "${TARNWICK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "one-shot JSON sidecar for an on-device language model")
# One string, wrapped for the control file: a CMake list would put `;` into it.
set(CPACK_PACKAGE_DESCRIPTION "A parent process writes one JSON request to the standard input of\n\
tarnwick_apple and reads one JSON reply line. On Linux the sidecar answers\n\
from a deterministic reference engine. tarnwick_apple_schema checks a JSON\n\
Schema offline and tells what the model would be held to.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/tarnwick/tarnwick_apple")  # as the Homebrew formula
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE "xz")
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_SOURCE_DIR}/cmake/DebianStaging.cmake")
set(CPACK_TARNWICK_SOURCE_DIR "${CMAKE_SOURCE_DIR}")
set(CPACK_TARNWICK_DOCDIR "${CMAKE_INSTALL_DOCDIR}")
include(CPack)
