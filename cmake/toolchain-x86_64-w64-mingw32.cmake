# 64-bit Windows, a development aid: the deliverables are 32-bit
# (toolchain-i686-w64-mingw32.cmake), but a machine whose kernel runs no
# 32-bit programs can still run the Windows platform layer and the test suite
# under a 64-bit Wine this way (docs/windows.md).
set(BRIGHTFOLD_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-i686-w64-mingw32.cmake)
