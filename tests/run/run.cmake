# Tests of the run: naming and path rules, the run in-process, the detection of a source.
glyphshift_add_test(run_paths_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/path_rules_test.cpp
  LIBS glyphshift_run)
glyphshift_add_test(run_with_options_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/run_with_options_test.cpp
  LIBS glyphshift_app glyphshift_test_support)
glyphshift_add_test(run_source_detection_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/source_detection_test.cpp
  LIBS glyphshift_run glyphshift_test_support)
glyphshift_add_test(run_file_report_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_report_test.cpp
  LIBS glyphshift_run)
glyphshift_add_test(run_report_lines_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/report_lines_test.cpp
  LIBS glyphshift_run)
