# Writes ICU's data package out of the object in its static data library (cmake -P, with
# OBJCOPY, OBJECTS: the folder the archive was unpacked in, OUT: the .dat to write).
file(GLOB objects "${OBJECTS}/*.o")
list(LENGTH objects count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "ICU's data library should hold one object, found: ${objects}")
endif()
get_filename_component(directory "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${directory}")
execute_process(COMMAND "${OBJCOPY}" -O binary --only-section=.rodata ${objects} "${OUT}" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "objcopy could not take ICU's data out of ${objects}")
endif()
