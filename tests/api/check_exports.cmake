# Run as: cmake -DLIBRARY=<path of libglyphshift.so> -P check_exports.cmake, or for a Windows
# module (glyphshift.dll, morfex.exe) with -DOBJDUMP=<the target's objdump> as well.
# Fails unless the module's export table (the dynamic symbol table on Linux) holds exactly the
# eight functions, under their plain names.
set(names)
if(OBJDUMP)
  execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} failed on ${LIBRARY}")
  endif()
  # The name table: "[Ordinal/Name Pointer] Table" followed by lines "\t[   0] Name".
  string(REGEX REPLACE "^.*\\[Ordinal/Name Pointer\\] Table\n" "" table "${listing}")
  string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\n]+" lines "${table}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^.*\\] " "" name "${line}")
    list(APPEND names ${name})
  endforeach()
else()
  execute_process(COMMAND nm -D --defined-only ${LIBRARY}
    OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
  endif()
  string(REGEX MATCHALL "[^\n]+" lines "${listing}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^.* ([^ ]+)$" "\\1" name "${line}")
    list(APPEND names ${name})
  endforeach()
endif()
list(SORT names)
set(expected ConvertDoubleByteToSingleByte ConvertDoubleByteToUtf8 ConvertSingleByteToDoubleByte
  ConvertUtf8ToDoubleByte DetectCharacterSet DetectCharacterSetByFile TransformEndianess TransformNewLineCharacter)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}\nexpected: ${expected}")
endif()
message(STATUS "exactly the eight functions are exported")
