# Tests of the catalogue and the generated tables.
glyphshift_add_test(charset_catalogue_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/charset_catalogue_test.cpp
  LIBS glyphshift_engine
  LABELS unit)

glyphshift_add_test(mapping_tables_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/mapping_tables_test.cpp
  LIBS glyphshift_engine
  LABELS unit)
# Lets the binary find data/ when run by hand, outside CTest's environment.
target_compile_definitions(mapping_tables_test PRIVATE GLYPHSHIFT_DEFAULT_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  # Fails when the committed generated tables differ from a fresh run of the generator.
  add_test(NAME generated_tables_are_current
    COMMAND ${Python3_EXECUTABLE} tools/generate_tables.py --check
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  add_test(NAME generate_tables_test
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/generate_tables_test.py
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  set_tests_properties(generated_tables_are_current generate_tables_test PROPERTIES LABELS unit)
else()
  message(WARNING "python3 not found: the generated-table checks are not registered")
endif()
