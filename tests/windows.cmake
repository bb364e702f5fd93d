# The tests of the Windows build (label windows): cross-compiled with MinGW-w64 and run under
# Wine through CMAKE_CROSSCOMPILING_EMULATOR. GoogleTest is built from Debian's source package
# for the target. The tests that exercise POSIX behaviour (permission bits, symbolic links,
# signals, capabilities) stay in the Linux build; the Windows side of the platform layer has
# tests of its own here.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(GLYPHSHIFT_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
if(NOT EXISTS ${GLYPHSHIFT_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${GLYPHSHIFT_GOOGLETEST_SOURCE}: install the Debian package googletest")
endif()
add_subdirectory(${GLYPHSHIFT_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${PROJECT_BINARY_DIR}/tests/support)
set(tests ${PROJECT_SOURCE_DIR}/tests)

# Engine, formatter, command line, markup, dialog logic: the same code as on Linux, now built by
# another compiler for another ABI and C library.
foreach(name charset_catalogue mapping_tables single_byte utf8 text)
  glyphshift_add_test(${name}_test SOURCES ${tests}/engine/${name}_test.cpp
    LIBS glyphshift_engine glyphshift_api glyphshift_test_support)
endforeach()
glyphshift_add_test(detect_by_file_test SOURCES ${tests}/api/detect_by_file_test.cpp
  LIBS glyphshift_api glyphshift_test_support)
target_compile_definitions(mapping_tables_test PRIVATE GLYPHSHIFT_DEFAULT_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

glyphshift_add_test(messages_test SOURCES ${tests}/messages/print_message_test.cpp LIBS glyphshift_messages)

# The version strings come from a version resource on Windows: the test carries the program's.
glyphshift_add_test(cli_test
  SOURCES ${tests}/cli/command_line_test.cpp ${tests}/cli/usage_text_test.cpp ${tests}/cli/charset_names_test.cpp
    ${tests}/run/path_rules_win32_test.cpp ${PROJECT_BINARY_DIR}/src/app/morfex.rc
  LIBS glyphshift_cli glyphshift_run glyphshift_test_support)
target_include_directories(cli_test PRIVATE ${PROJECT_SOURCE_DIR}/src/app/win32)

glyphshift_add_test(convert_test
  SOURCES ${tests}/convert/markup_declarations_test.cpp ${tests}/convert/process_file_test.cpp
    ${tests}/convert/stream_equivalence_test.cpp ${tests}/convert/whole_text_reference.cpp
  LIBS glyphshift_convert glyphshift_api glyphshift_test_support)

glyphshift_add_test(ui_logic_test
  SOURCES ${tests}/ui/layout_test.cpp ${tests}/ui/main_dialog_logic_test.cpp
  LIBS glyphshift_ui_logic glyphshift_test_support)

# Owner-from-prefix and TakeOwnerShip over a double of the security services: the renames are
# real, the owners and access lists (which Wine does not carry out) are recorded.
glyphshift_add_test(security_logic_test
  SOURCES ${tests}/security/user_translation_table_test.cpp ${tests}/security/owner_from_prefix_test.cpp
  LIBS glyphshift_security glyphshift_test_support)

# The Win32 side of the platform layer against real files under Wine, and the security layer on
# a double of the services Wine does not carry out (owners, access lists).
glyphshift_add_test(platform_win32_test
  SOURCES ${tests}/platform/native_text_test.cpp ${tests}/platform/win32/files_test.cpp
    ${tests}/platform/win32/streams_test.cpp ${tests}/platform/win32/security_test.cpp
  LIBS glyphshift_platform glyphshift_security glyphshift_test_support)

# The library from C, and exactly eight exports from both the library and the program.
add_executable(exports_c_test ${tests}/api/exports_c_test.c)
target_link_libraries(exports_c_test PRIVATE glyphshift)
target_include_directories(exports_c_test PRIVATE ${PROJECT_SOURCE_DIR}/include)
glyphshift_set_warnings(exports_c_test)
add_test(NAME exports_c_test COMMAND exports_c_test)
foreach(module glyphshift morfex)
  add_test(NAME ${module}_exports_exactly_eight_names
    COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:${module}> -DOBJDUMP=${CMAKE_OBJDUMP}
      -P ${tests}/api/check_exports.cmake)
endforeach()
set_tests_properties(exports_c_test glyphshift_exports_exactly_eight_names morfex_exports_exactly_eight_names
  PROPERTIES LABELS windows)

# morfex.exe end to end: a Windows program starts it with exact command lines, as a script or
# a shell would, and reads back files, output and exit codes.
glyphshift_add_test(morfex_windows_e2e_test
  SOURCES ${tests}/e2e/windows/morfex_process.cpp ${tests}/e2e/windows/batch_test.cpp
  LIBS glyphshift_test_support)
target_compile_definitions(morfex_windows_e2e_test PRIVATE MORFEX_PATH="$<TARGET_FILE:morfex>")
add_dependencies(morfex_windows_e2e_test morfex)

# The dialog and the help window on a display: Xvfb, and a Wine prefix of their own (shared by
# both builds), whose desktop belongs to that display.
find_program(GLYPHSHIFT_XVFB_RUN xvfb-run)
if(GLYPHSHIFT_XVFB_RUN)
  add_executable(morfex_windows_dialog_test ${tests}/e2e/windows/morfex_process.cpp ${tests}/e2e/windows/dialog_test.cpp)
  target_link_libraries(morfex_windows_dialog_test PRIVATE glyphshift_ui_logic glyphshift_test_support
    GTest::gtest GTest::gtest_main)
  target_include_directories(morfex_windows_dialog_test PRIVATE ${PROJECT_SOURCE_DIR}/src ${tests})
  target_compile_definitions(morfex_windows_dialog_test PRIVATE MORFEX_PATH="$<TARGET_FILE:morfex>")
  glyphshift_set_warnings(morfex_windows_dialog_test)
  add_dependencies(morfex_windows_dialog_test morfex)
  add_test(NAME morfex_windows_dialog_test
    COMMAND ${GLYPHSHIFT_XVFB_RUN} -a -s "-screen 0 1024x768x24"
      ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:morfex_windows_dialog_test>)
  set_tests_properties(morfex_windows_dialog_test PROPERTIES LABELS windows TIMEOUT 300
    ENVIRONMENT "GLYPHSHIFT_WINE_DISPLAY=1")
else()
  message(WARNING "xvfb-run not found: the test of the dialog under Wine is not registered (install xvfb)")
endif()
