# Small helpers shared by every folder.

# Version scripts, -Bsymbolic and --export-dynamic-symbol are options of an
# ELF linker; a Windows build gets its exports from a .def file instead.
if(CMAKE_EXECUTABLE_FORMAT STREQUAL "ELF")
  set(BRIGHTFOLD_ELF ON)
else()
  set(BRIGHTFOLD_ELF OFF)
endif()

# Programs that load our libraries through platform::loadLibrary export one hook
# (see src/platform/library.h) so that a library's attach step can refuse the load.
# On Windows DllMain refuses by itself and no hook is needed.
function(brightfold_host_program target)
  if(BRIGHTFOLD_ELF)
    target_link_options(${target} PRIVATE "-Wl,--export-dynamic-symbol=BrightfoldAttachRefused")
  endif()
endfunction()

# brightfold_shared_exports(TARGET MAP)
# A shared library that exports exactly the names its functions mark with
# PLATFORM_EXPORT and the version script MAP lists; everything else hidden.
# On Windows the .def file beside MAP (same name, .def) gives the exported
# names and ordinals instead, and the DLL is named without the "lib" prefix.
function(brightfold_shared_exports target map)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(BRIGHTFOLD_ELF)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map})
    target_link_options(${target} PRIVATE
      "-Wl,--version-script=${map}" "-Wl,-Bsymbolic" "-Wl,--no-undefined")
  elseif(WIN32)
    string(REGEX REPLACE "\\.map$" ".def" def ${map})
    target_sources(${target} PRIVATE ${def})
    set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "")
  endif()
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
