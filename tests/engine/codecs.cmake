# Tests of the codecs and their fast paths.
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

glyphshift_add_test(text_scan_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_scan_test.cpp
  LIBS glyphshift_engine
  LABELS unit)
