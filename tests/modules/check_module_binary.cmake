# Checks one built module file: its dynamic symbol table defines cnt1entd
# alone, and libc is its only DT_NEEDED entry.
#   cmake -DMODULE=<file> -DREADELF=<readelf> -P check_module_binary.cmake
execute_process(COMMAND ${READELF} --dyn-syms --wide ${MODULE}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot read the symbols of ${MODULE}")
endif()
set(defined "")
string(REPLACE "\n" ";" lines "${symbols}")
foreach(line IN LISTS lines)
  # Num: Value Size Type Bind Vis Ndx Name
  if(line MATCHES "^ *[0-9]+: +[0-9a-f]+ +[0-9]+ +[A-Z_]+ +(GLOBAL|WEAK) +DEFAULT +([0-9]+) +([^ @]+)")
    list(APPEND defined "${CMAKE_MATCH_3}")
  endif()
endforeach()
if(NOT defined STREQUAL "cnt1entd")
  message(FATAL_ERROR "${MODULE} exports [${defined}]; it must export cnt1entd alone")
endif()

execute_process(COMMAND ${READELF} --dynamic --wide ${MODULE}
                OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[([^]]+)\\]" needed "${dynamic}")
set(libraries "")
foreach(entry IN LISTS needed)
  string(REGEX REPLACE ".*\\[([^]]+)\\].*" "\\1" library "${entry}")
  list(APPEND libraries "${library}")
endforeach()
if(NOT libraries MATCHES "^libc\\.so\\.[0-9]+$")
  message(FATAL_ERROR "${MODULE} needs [${libraries}]; it must need libc alone")
endif()
message(STATUS "${MODULE}: exports cnt1entd alone, needs ${libraries}")
