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
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      # 64-bit Windows (a development build only) has one calling
      # convention, so the names carry no @n decoration to remove.
      file(READ ${def} text)
      string(REGEX REPLACE " = [A-Za-z_]+@[0-9]+" "" text "${text}")
      get_filename_component(name ${def} NAME)
      set(def ${CMAKE_CURRENT_BINARY_DIR}/${name})
      file(WRITE ${def} "${text}")
    endif()
    target_sources(${target} PRIVATE ${def})
    set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "")
  endif()
endfunction()

# brightfold_test(NAME SOURCES... LIBS lib...)
# One GoogleTest executable registered with CTest; tests run with a private
# hive and a headless UI so that nothing outside the build folder is touched.
# On Windows the sources in BRIGHTFOLD_WIN32_UNPORTED (file names) are left
# out, and a program in BRIGHTFOLD_WIN32_UNPORTED_PROGRAMS is built but not
# run (tests/CMakeLists.txt, docs/windows.md).
function(brightfold_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  set(sources ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  if(WIN32)
    set(kept "")
    foreach(source ${sources})
      get_filename_component(base ${source} NAME)
      if(NOT base IN_LIST BRIGHTFOLD_WIN32_UNPORTED)
        list(APPEND kept ${source})
      endif()
    endforeach()
    set(sources ${kept})
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${T_LIBS} testsupport GTest::gtest GTest::gtest_main)
  brightfold_host_program(${name})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(WIN32 AND name IN_LIST BRIGHTFOLD_WIN32_UNPORTED_PROGRAMS)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${name})
  # 77: the program cannot run here (scripts/wine-run.sh without Wine).
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77
    ENVIRONMENT "BRIGHTFOLD_UI=headless;BRIGHTFOLD_BUILD_DIR=${CMAKE_BINARY_DIR};BRIGHTFOLD_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
