# Tests of the codecs, detection and exports.
glyphshift_add_test(single_byte_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/single_byte_test.cpp
  LIBS glyphshift_engine
  LABELS unit)

glyphshift_add_test(utf8_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/utf8_test.cpp
  LIBS glyphshift_engine
  LABELS unit)

glyphshift_add_test(text_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_test.cpp
  LIBS glyphshift_engine
  LABELS unit)

glyphshift_add_test(fast_path_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fast_path_test.cpp
  LIBS glyphshift_engine
  LABELS unit)

glyphshift_add_test(detect_by_file_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/detect_by_file_test.cpp
  LIBS glyphshift_api glyphshift_test_support
  LABELS unit)

# The header stays C, and the shared library works from C.
add_executable(exports_c_test ${CMAKE_CURRENT_LIST_DIR}/exports_c_test.c)
target_link_libraries(exports_c_test PRIVATE glyphshift)
target_include_directories(exports_c_test PRIVATE ${PROJECT_SOURCE_DIR}/include)
glyphshift_set_warnings(exports_c_test)
add_test(NAME exports_c_test COMMAND exports_c_test WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

if(NOT WIN32)
  add_test(NAME glyphshift_exports_exactly_eight_names
    COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:glyphshift> -P ${CMAKE_CURRENT_LIST_DIR}/check_exports.cmake)
  set_tests_properties(glyphshift_exports_exactly_eight_names PROPERTIES LABELS unit)
endif()
set_tests_properties(exports_c_test PROPERTIES LABELS unit)
