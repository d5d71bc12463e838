# A macOS 26 arm64 toolchain as seen from Linux, for reading the commands the Mac build would run:
# Debian's clang targeting Darwin and a stand-in of Xcode's swiftc, with the compiler checks skipped
# (nothing here can link a Mach-O executable). Never used to build.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 25.0)  # Darwin 25 is macOS 26
set(CMAKE_SYSTEM_PROCESSOR arm64)

set(CMAKE_CXX_COMPILER /usr/bin/clang++)
set(CMAKE_CXX_COMPILER_TARGET arm64-apple-macos26.0)
set(CMAKE_CXX_COMPILER_WORKS TRUE)
set(CMAKE_ASM_COMPILER /usr/bin/clang)
set(CMAKE_ASM_COMPILER_TARGET arm64-apple-macos26.0)

# Xcode 26's swiftc, taken as identified: the stand-in at its path never runs, so the check needs
# no Swift toolchain on this machine.
set(CMAKE_Swift_COMPILER $ENV{TARNWICK_DARWIN_XCODE}/usr/bin/swiftc)
set(CMAKE_Swift_COMPILER_ID Apple)
set(CMAKE_Swift_COMPILER_VERSION 6.2)
set(CMAKE_Swift_COMPILER_ID_RUN TRUE)
set(CMAKE_Swift_COMPILER_WORKS TRUE)

# The stand-in SDK and Homebrew prefixes the check creates; nothing from this machine's own
# libraries may be found.
set(CMAKE_OSX_SYSROOT $ENV{TARNWICK_DARWIN_SDK})
set(CMAKE_FIND_ROOT_PATH $ENV{TARNWICK_DARWIN_HOMEBREW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Xcode's tools by their names there; Xcode ships no objcopy.
set(CMAKE_INSTALL_NAME_TOOL /usr/bin/install_name_tool)
set(CMAKE_OBJCOPY CMAKE_OBJCOPY-NOTFOUND)
# Configure checks compile only: nothing here links for Darwin.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# macOS's libSystem holds pthreads; the check that finds so must link, which nothing here can.
set(CMAKE_HAVE_LIBC_PTHREAD 1)
