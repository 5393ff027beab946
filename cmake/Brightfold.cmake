# Small helpers shared by every folder.

# Programs that load our libraries through platform::loadLibrary export one hook
# (see src/platform/library.h) so that a library's attach step can refuse the load.
function(brightfold_host_program target)
  target_link_options(${target} PRIVATE "-Wl,--export-dynamic-symbol=BrightfoldAttachRefused")
endfunction()

# brightfold_test(NAME SOURCES... LIBS lib...)
# One GoogleTest executable registered with CTest; tests run with a private
# hive and a headless UI so that nothing outside the build folder is touched.
function(brightfold_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} testsupport GTest::gtest GTest::gtest_main)
  brightfold_host_program(${name})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "BRIGHTFOLD_UI=headless;BRIGHTFOLD_BUILD_DIR=${CMAKE_BINARY_DIR};BRIGHTFOLD_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
