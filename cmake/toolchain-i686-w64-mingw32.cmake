# Cross build for 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686):
#   cmake -S . -B build-win32 -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake
# The posix thread model is the one whose C++ library has <thread> and <mutex>.
# Programs built here run through scripts/wine-run.sh (tests, custom commands).
set(CMAKE_SYSTEM_NAME Windows)
if(NOT BRIGHTFOLD_MINGW_PREFIX)
  set(BRIGHTFOLD_MINGW_PREFIX i686-w64-mingw32)
endif()
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${BRIGHTFOLD_MINGW_PREFIX})
set(CMAKE_C_COMPILER ${BRIGHTFOLD_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRIGHTFOLD_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${BRIGHTFOLD_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRIGHTFOLD_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes (libgcc, libstdc++, winpthread) are linked in, so the
# DLLs and programs need nothing but system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)

# Header-only libraries of the build machine, seen without its other headers.
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-packages CACHE PATH "")
