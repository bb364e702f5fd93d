# Run as: cmake -DLIBRARY=<path of libglyphshift.so> -P check_exports.cmake
# Fails unless the library's dynamic symbol table defines exactly the eight functions.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(names)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* ([^ ]+)$" "\\1" name "${line}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected ConvertDoubleByteToSingleByte ConvertDoubleByteToUtf8 ConvertSingleByteToDoubleByte
  ConvertUtf8ToDoubleByte DetectCharacterSet DetectCharacterSetByFile TransformEndianess TransformNewLineCharacter)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}\nexpected: ${expected}")
endif()
message(STATUS "exactly the eight functions are exported")
