# Shared settings for every target of the project.

# Warnings per target, as errors when GLYPHSHIFT_WERROR is on (CI and the dev preset).
function(glyphshift_set_warnings target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wconversion -Wsign-conversion -Wshadow -Wnon-virtual-dtor>
    $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Wconversion -Wshadow>)
  # GCC 12 warns about overlapping copies inside std::string's operator+ at -O2 and above, a
  # false positive in its own headers (GCC bug 105329).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
  endif()
  if(GLYPHSHIFT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(GLYPHSHIFT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# glyphshift_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# One GoogleTest executable per call, registered with CTest test by test.
function(glyphshift_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  glyphshift_set_warnings(${name})
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  set(environment "GLYPHSHIFT_SOURCE_DIR=${PROJECT_SOURCE_DIR};GLYPHSHIFT_BINARY_DIR=${PROJECT_BINARY_DIR}")
  set(discovery 60)
  if(WIN32)
    # Every test of the Windows build runs under Wine, without a display (the dialog's own test
    # brings one); the tests are listed when CTest starts, so a build needs no Wine.
    set(ARG_LABELS windows)
    string(APPEND environment ";DISPLAY=")
    set(discovery 120 DISCOVERY_MODE PRE_TEST)
  endif()
  gtest_discover_tests(${name}
    PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "${environment}"
    DISCOVERY_TIMEOUT ${discovery})
endfunction()
