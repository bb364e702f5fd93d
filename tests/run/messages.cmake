# Tests of the formatter and the print path.
glyphshift_add_test(print_message_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/print_message_test.cpp
  LIBS glyphshift_messages)

# The compile-time check must reject formats that do not fit their arguments (cases 1 to 5)
# and accept those that do (case 0).
foreach(case RANGE 0 5)
  set(name print_message_compile_check_${case})
  add_test(NAME ${name} COMMAND ${CMAKE_CXX_COMPILER} -std=c++20 -fsyntax-only -I${PROJECT_SOURCE_DIR}/src
    -DCASE=${case} ${CMAKE_CURRENT_LIST_DIR}/print_message_compile_check.cpp)
  set_tests_properties(${name} PROPERTIES LABELS unit)
  if(case GREATER 0)
    set_tests_properties(${name} PROPERTIES PASS_REGULAR_EXPRESSION "FormatDoesNotMatchItsArguments")
  endif()
endforeach()
