# Whether the SDK's FoundationModels declares the error types of Xcode 27 (LanguageModelError and
# its companions): the shim then maps them too (TARNWICK_FRAMEWORK_ERRORS_27), and still builds
# with Xcode 26, which lacks them. Decided by type-checking one line against the SDK.
function(tarnwick_probe_framework_errors target)
  set(probe ${CMAKE_BINARY_DIR}/swift/FrameworkErrorsProbe.swift)
  file(WRITE ${probe} "import FoundationModels\n@available(macOS 27.0, *) func probe(_ failure: LanguageModelError) {}\n")
  set(sdk)
  if(CMAKE_OSX_SYSROOT)
    set(sdk -sdk ${CMAKE_OSX_SYSROOT})
  endif()
  set(target ${CMAKE_Swift_COMPILER_TARGET})
  if(NOT target)
    set(target arm64-apple-macos26.0)
  endif()
  execute_process(
    COMMAND ${CMAKE_Swift_COMPILER} -typecheck ${sdk} -target ${target} ${probe}
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(status EQUAL 0)
    message(STATUS "Swift shim: the SDK throws Xcode 27's error types; mapping them too")
    target_compile_options(${target} PRIVATE -DTARNWICK_FRAMEWORK_ERRORS_27)
  else()
    message(STATUS "Swift shim: the SDK has GenerationError only")
  endif()
endfunction()
