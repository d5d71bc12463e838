# The link mode. With TARNWICK_STATIC, ICU is linked statically with reduced data (on every
# platform), and on Linux the shipped executables are static PIE: no shared library at all, so
# they start like a do-nothing program and run on any Linux. Without it (the sanitizer and fuzz
# builds, a build that loads a Swift shared library) ICU is ICU's shared libraries as installed.
# Sets TARNWICK_ICU_TARGET and defines tarnwick_link_static(target).
if(TARNWICK_STATIC)
  include(${CMAKE_CURRENT_LIST_DIR}/StaticICU.cmake)
  set(TARNWICK_ICU_TARGET tarnwick_icu_static)
  if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    # ICU's never-called plugin loader calls dlopen, which in a static program needs the linking
    # glibc's shared libraries at run time (the linker warns): its calls go to stubs that fail.
    add_library(tarnwick_no_dynamic_loading STATIC ${CMAKE_SOURCE_DIR}/TarnwickApple/Platform/NoDynamicLoading.cpp)
    target_link_libraries(tarnwick_icu_static INTERFACE tarnwick_no_dynamic_loading)
    target_link_options(tarnwick_icu_static INTERFACE "LINKER:--wrap=dlopen,--wrap=dlsym,--wrap=dlclose")
  endif()
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc icu-i18n)
  set(TARNWICK_ICU_TARGET PkgConfig::ICU)
endif()

# A shipped executable: static PIE on Linux. --eh-frame-hdr gives the unwinder its binary-search
# table, which a static link leaves out by default; without it the first throw scans every FDE.
function(tarnwick_link_static target)
  if(TARNWICK_STATIC AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
    target_link_options(${target} PRIVATE -static-pie -Wl,--eh-frame-hdr)
  endif()
endfunction()
