# The Debian package (cpack -G DEB): what `cmake --install` installs, stripped, with its runtime
# dependencies computed by dpkg-shlibdeps from the executables as linked, so they come out right
# for a dynamic build and empty for a static one.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tarnwick-apple")  # Debian package names take no underscore
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "tarnwick_apple")
set(CPACK_PACKAGE_CONTACT "tarnwick_apple maintainers <tarnwick_apple@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "one-shot JSON sidecar for an on-device language model")
set(CPACK_PACKAGE_DESCRIPTION
  "A parent process writes one JSON request to its standard input and reads one JSON reply line.\n"
  "On Linux the sidecar answers from a deterministic reference engine.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE "xz")
include(CPack)
