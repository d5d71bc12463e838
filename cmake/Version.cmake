# The one version number, project(VERSION), as a compile definition that reaches both executables
# and their test builds; CPack reads the same PROJECT_VERSION. The engine's name is the build's
# TARNWICK_ENGINE_NAME definition, "reference" when none is set.
add_compile_definitions("$<$<COMPILE_LANGUAGE:CXX>:TARNWICK_VERSION=\"${PROJECT_VERSION}\">")
