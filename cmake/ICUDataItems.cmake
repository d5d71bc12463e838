# Writes the ICU data item list without its comments and blank lines, as icupkg reads it
# (cmake -P, with IN and OUT).
file(STRINGS "${IN}" lines)
set(items "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "#.*" "" line "${line}")
  string(STRIP "${line}" line)
  if(line)
    string(APPEND items "${line}\n")
  endif()
endforeach()
file(WRITE "${OUT}" "${items}")
