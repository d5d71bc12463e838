# The framework engine's Swift shim, and on Linux the stand-in of the framework's API it runs
# over (answers from the reference engine). Optional: configure without a Swift compiler works.
# On by default on Apple platforms, where the framework engine is the product.
if(APPLE)
  option(TARNWICK_SWIFT "Build the Swift shim behind the framework boundary" ON)
else()
  option(TARNWICK_SWIFT "Build the Swift shim behind the framework boundary" OFF)
endif()

if(TARNWICK_SWIFT AND (TARNWICK_SANITIZE OR TARNWICK_FUZZ))
  # The sanitizer runtimes of g++ and of Swift's clang do not mix; those builds test C++ only.
  message(FATAL_ERROR "TARNWICK_SWIFT cannot be combined with TARNWICK_SANITIZE or TARNWICK_FUZZ")
endif()

set(TARNWICK_SWIFT_BUILT OFF)
if(TARNWICK_SWIFT)
  if(APPLE)
    # swiftc is told the deployment target through its target triple only; without one it
    # targets the build machine's macOS, in its compiles and in the links it drives.
    list(LENGTH CMAKE_OSX_ARCHITECTURES _tarnwick_arch_count)
    if(NOT _tarnwick_arch_count EQUAL 1 OR NOT CMAKE_OSX_DEPLOYMENT_TARGET)
      message(FATAL_ERROR "the Swift shim needs one CMAKE_OSX_ARCHITECTURES and a CMAKE_OSX_DEPLOYMENT_TARGET")
    endif()
    set(CMAKE_Swift_COMPILER_TARGET "${CMAKE_OSX_ARCHITECTURES}-apple-macos${CMAKE_OSX_DEPLOYMENT_TARGET}")
  endif()
  include(CheckLanguage)
  check_language(Swift)
  if(NOT CMAKE_Swift_COMPILER)
    message(STATUS "Swift shim: no Swift compiler found, not built")
  else()
    enable_language(Swift)
    set(TARNWICK_SWIFT_BUILT ON)
  endif()
endif()

if(TARNWICK_SWIFT_BUILT)
  set(CMAKE_Swift_LANGUAGE_VERSION 6)
  set(TARNWICK_FRAMEWORK_DIR ${CMAKE_SOURCE_DIR}/TarnwickApple/Engines/Framework)
  file(GLOB TARNWICK_SHIM_SOURCES CONFIGURE_DEPENDS ${TARNWICK_FRAMEWORK_DIR}/Shim/*.swift)
  # FrameworkBoundary.h as the Clang module TarnwickFrameworkBoundary (module.modulemap beside
  # it): the shim and the stand-in read the pinned codes and failure names from it.
  set(TARNWICK_BOUNDARY_MODULE_FLAGS -I${TARNWICK_FRAMEWORK_DIR})  # joined: CMake merges repeated "-I"
  set(TARNWICK_BOUNDARY_MODULE_FILES ${TARNWICK_FRAMEWORK_DIR}/FrameworkBoundary.h ${TARNWICK_FRAMEWORK_DIR}/module.modulemap)
  set_property(SOURCE ${TARNWICK_SHIM_SOURCES} APPEND PROPERTY OBJECT_DEPENDS ${TARNWICK_BOUNDARY_MODULE_FILES})

  if(APPLE)
    # The real framework: the shim imports FoundationModels from the SDK. Static, so the binary
    # depends on system libraries only (the Swift runtime is part of macOS); an executable that
    # links it is linked by swiftc, which adds the runtime's search paths.
    add_library(TarnwickFrameworkShim STATIC ${TARNWICK_SHIM_SOURCES})
    # No -warnings-as-errors here: a later SDK deprecates names the shim must keep for macOS 26.
    target_compile_options(TarnwickFrameworkShim PRIVATE -parse-as-library ${TARNWICK_BOUNDARY_MODULE_FLAGS})
    target_link_libraries(TarnwickFrameworkShim INTERFACE "-framework FoundationModels")
    include(${CMAKE_CURRENT_LIST_DIR}/SwiftFrameworkErrors.cmake)
    tarnwick_probe_framework_errors(TarnwickFrameworkShim)
  else()
    file(GLOB TARNWICK_STANDIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/testing/StandIn/*.swift)
    list(APPEND TARNWICK_STANDIN_SOURCES ${TARNWICK_FRAMEWORK_DIR}/Shim/JSONString.swift)  # the one escaper
    set_property(SOURCE ${TARNWICK_STANDIN_SOURCES} APPEND PROPERTY OBJECT_DEPENDS ${TARNWICK_BOUNDARY_MODULE_FILES})
    set(standin_flags -swift-version 6 -parse-as-library -enable-library-evolution -warnings-as-errors
        ${TARNWICK_BOUNDARY_MODULE_FLAGS})

    # The module interface the shim compiles against: the declarations as the SDK has them.
    set(TARNWICK_STANDIN_SDK_DIR ${CMAKE_BINARY_DIR}/swift/standin-sdk)
    add_custom_command(
      OUTPUT ${TARNWICK_STANDIN_SDK_DIR}/FoundationModelsStandIn.swiftmodule
      COMMAND ${CMAKE_COMMAND} -E make_directory ${TARNWICK_STANDIN_SDK_DIR}
      COMMAND ${CMAKE_Swift_COMPILER} -emit-module ${standin_flags} -module-name FoundationModelsStandIn
              -emit-module-path ${TARNWICK_STANDIN_SDK_DIR}/FoundationModelsStandIn.swiftmodule
              ${TARNWICK_STANDIN_SOURCES}
      DEPENDS ${TARNWICK_STANDIN_SOURCES} ${TARNWICK_BOUNDARY_MODULE_FILES}
      COMMENT "Swift stand-in: the module interface the shim compiles against")
    add_custom_target(tarnwick_standin_sdk DEPENDS ${TARNWICK_STANDIN_SDK_DIR}/FoundationModelsStandIn.swiftmodule)

    # The library every executable loads. It also declares one more availability reason and one
    # more failure case, as a later framework would; library evolution keeps it binary
    # compatible, so the shim's `@unknown default` branches run in the tests.
    add_library(FoundationModelsStandIn SHARED ${TARNWICK_STANDIN_SOURCES})
    target_compile_options(FoundationModelsStandIn PRIVATE ${standin_flags} -D TARNWICK_STANDIN_FUTURE)
    set_target_properties(FoundationModelsStandIn PROPERTIES
      Swift_MODULE_DIRECTORY ${CMAKE_BINARY_DIR}/swift/standin-linked)

    add_library(TarnwickFrameworkShim SHARED ${TARNWICK_SHIM_SOURCES})
    add_dependencies(TarnwickFrameworkShim tarnwick_standin_sdk FoundationModelsStandIn)
    target_compile_options(TarnwickFrameworkShim PRIVATE -parse-as-library -warnings-as-errors
                           -I ${TARNWICK_STANDIN_SDK_DIR} ${TARNWICK_BOUNDARY_MODULE_FLAGS})
    # Linked by file, not by target, so the shim never sees the linked library's module.
    target_link_options(TarnwickFrameworkShim PRIVATE
      -L $<TARGET_FILE_DIR:FoundationModelsStandIn> -lFoundationModelsStandIn)
    target_link_libraries(TarnwickFrameworkShim INTERFACE FoundationModelsStandIn)
  endif()
  set_target_properties(TarnwickFrameworkShim PROPERTIES Swift_MODULE_DIRECTORY ${CMAKE_BINARY_DIR}/swift/shim)
endif()

# What the framework engine links for its three C functions: the shim, and off Apple platforms
# the stand-in with the reference engine registered as its backend. The registration runs from
# a static initialiser, so its archive is linked whole.
if(TARNWICK_SWIFT_BUILT)
  add_library(tarnwick_framework_boundary INTERFACE)
  if(APPLE)
    # swiftc links the executables, and adds the Swift runtime but not the C++ one.
    target_link_libraries(tarnwick_framework_boundary INTERFACE TarnwickFrameworkShim c++)
  else()
    add_library(tarnwick_standin_backend STATIC ${CMAKE_SOURCE_DIR}/testing/Linux/StandInBackend.cpp)
    target_link_libraries(tarnwick_standin_backend PUBLIC tarnwick_reference_boundary TarnwickFrameworkShim)
    target_link_libraries(tarnwick_framework_boundary INTERFACE
      "$<LINK_LIBRARY:WHOLE_ARCHIVE,tarnwick_standin_backend>" TarnwickFrameworkShim)
  endif()
endif()
