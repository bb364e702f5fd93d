# Tests of the command line, enumeration, naming and the path list.
glyphshift_add_test(run_command_line_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp ${CMAKE_CURRENT_LIST_DIR}/usage_text_test.cpp
  LIBS glyphshift_cli)
glyphshift_add_test(run_paths_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/path_rules_test.cpp ${CMAKE_CURRENT_LIST_DIR}/linked_list_test.cpp
  LIBS glyphshift_cli)
glyphshift_add_test(run_with_options_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/run_with_options_test.cpp
  LIBS glyphshift_app glyphshift_test_support)
glyphshift_add_test(run_source_detection_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/source_detection_test.cpp
  LIBS glyphshift_run glyphshift_test_support)
