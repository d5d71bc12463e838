# Writes ICU's data package out of the object in its static data library (cmake -P, with
# OBJECTS: the folder the archive was unpacked in, OUT: the .dat to write, and either OBJCOPY for
# an ELF object or MACHO=ON for a Mach-O one, read here without any binary tool).
file(GLOB objects "${OBJECTS}/*.o")
list(LENGTH objects count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "ICU's data library should hold one object, found: ${objects}")
endif()
get_filename_component(directory "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${directory}")

if(NOT MACHO)
  execute_process(COMMAND "${OBJCOPY}" -O binary --only-section=.rodata ${objects} "${OUT}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "objcopy could not take ICU's data out of ${objects}")
  endif()
  return()
endif()

# Mach-O: ICU's genccode puts the package alone in (__TEXT,__const). Numbers are little-endian.
set(MACHO_MAGIC_64 "cffaedfe")
set(LC_SEGMENT_64 25)
set(HEADER_SIZE 32)      # mach_header_64
set(SEGMENT_SIZE 72)     # segment_command_64, before its sections
set(SECTION_SIZE 80)     # section_64
set(ICU_DATA_MAGIC "da27")  # bytes 2 and 3 of every ICU data file

# Reads the little-endian number of `bytes` bytes at byte `at` (an expression) of the hex text
# `hex` into `out`.
function(read_number hex at bytes out)
  math(EXPR start "(${at}) * 2")
  math(EXPR last "${bytes} * 2 - 2")
  math(EXPR length "${last} + 2")
  string(SUBSTRING "${hex}" ${start} ${length} digits)
  set(swapped "")
  foreach(i RANGE 0 ${last} 2)
    string(SUBSTRING "${digits}" ${i} 2 byte)
    string(PREPEND swapped "${byte}")
  endforeach()
  math(EXPR value "0x${swapped}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

file(READ ${objects} header LIMIT ${HEADER_SIZE} HEX)
string(SUBSTRING "${header}" 0 8 magic)
if(NOT magic STREQUAL MACHO_MAGIC_64)
  message(FATAL_ERROR "${objects} is not a 64-bit little-endian Mach-O object")
endif()
read_number("${header}" 16 4 command_count)
read_number("${header}" 20 4 commands_size)
file(READ ${objects} commands OFFSET ${HEADER_SIZE} LIMIT ${commands_size} HEX)

# "__const" and "__TEXT" as section_64 holds them: sixteen bytes, padded with NUL.
string(HEX "__const" const_name)
string(HEX "__TEXT" text_name)
string(REPEAT "0" 18 pad_const)
string(REPEAT "0" 20 pad_text)
string(APPEND const_name "${pad_const}")
string(APPEND text_name "${pad_text}")

set(position 0)
set(data_offset "")
foreach(command RANGE 1 ${command_count})
  read_number("${commands}" ${position} 4 kind)
  read_number("${commands}" ${position}+4 4 size)
  if(kind EQUAL LC_SEGMENT_64)
    read_number("${commands}" ${position}+64 4 section_count)
    math(EXPR section "${position} + ${SEGMENT_SIZE}")
    foreach(unused RANGE 1 ${section_count})
      math(EXPR name_at "${section} * 2")
      string(SUBSTRING "${commands}" ${name_at} 64 names)
      if(names STREQUAL "${const_name}${text_name}")
        read_number("${commands}" ${section}+40 8 data_size)
        read_number("${commands}" ${section}+48 4 data_offset)
      endif()
      math(EXPR section "${section} + ${SECTION_SIZE}")
    endforeach()
  endif()
  math(EXPR position "${position} + ${size}")
endforeach()
if(data_offset STREQUAL "" OR data_size EQUAL 0)
  message(FATAL_ERROR "${objects} has no (__TEXT,__const) section holding ICU's data")
endif()
file(READ ${objects} start OFFSET ${data_offset} LIMIT 4 HEX)
string(SUBSTRING "${start}" 4 4 magic)
if(NOT magic STREQUAL ICU_DATA_MAGIC)
  message(FATAL_ERROR "the (__TEXT,__const) section of ${objects} does not hold an ICU data package")
endif()

# tail and head copy the bytes; file() cannot write a NUL.
math(EXPR first_byte "${data_offset} + 1")
execute_process(COMMAND tail -c +${first_byte} ${objects} COMMAND head -c ${data_size}
  OUTPUT_FILE "${OUT}" RESULT_VARIABLE failed)
file(SIZE "${OUT}" written)
if(failed OR NOT written EQUAL data_size)
  message(FATAL_ERROR "could not copy ICU's data out of ${objects}")
endif()
