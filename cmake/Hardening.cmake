# Hardening of optimised builds: fortified libc calls, stack protector, position-independent
# executables, and on ELF stack-clash protection and full RELRO (bind now). Sanitizer and fuzzing
# builds bring their own runtime checks and are left alone. Mach-O has no RELRO (Apple's linker
# knows no -z), and Apple's clang takes stack-clash protection for Linux targets only.
option(TARNWICK_HARDEN "Harden optimised builds (fortify, stack protector, PIE, full RELRO)" ON)

if(TARNWICK_HARDEN AND NOT TARNWICK_SANITIZE AND NOT TARNWICK_FUZZ)
  # A static build on Linux links its executables -static-pie, which is PIE already; CMake's own
  # -pie would come later on the line and turn them back into dynamic executables.
  if(NOT (TARNWICK_STATIC AND CMAKE_SYSTEM_NAME STREQUAL "Linux"))
    include(CheckPIESupported)
    check_pie_supported(LANGUAGES CXX)
  endif()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)

  # C++ only: the Swift compiler takes none of these flags.
  set(TARNWICK_OPTIMISED "$<AND:$<CONFIG:Release,RelWithDebInfo,MinSizeRel>,$<COMPILE_LANGUAGE:CXX>>")
  set(TARNWICK_OPTIMISED_LINK "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
  # Some toolchains predefine _FORTIFY_SOURCE; ours is the one that counts.
  add_compile_options(
    "$<${TARNWICK_OPTIMISED}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>"
    "$<${TARNWICK_OPTIMISED}:-fstack-protector-strong>")
  if(NOT APPLE)
    add_compile_options("$<${TARNWICK_OPTIMISED}:-fstack-clash-protection>")
    add_link_options("$<${TARNWICK_OPTIMISED_LINK}:LINKER:-z,relro,-z,now>")
  endif()
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|i.86")
    add_compile_options("$<${TARNWICK_OPTIMISED}:-fcf-protection>")
  endif()
endif()
