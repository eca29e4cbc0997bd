# Cross build for 32-bit Windows, the program as it ships.
set(DT_MINGW_ARCH i686)
set(DT_WINE wine)
# SSE2 arithmetic, as every processor that runs a supported Windows has: the
# x87 unit keeps excess precision in its registers, so the same formula would
# round differently from the 64-bit builds depending on where the compiler
# spills a value, and figures that two parts of the program compute from the
# same numbers could disagree in their last digit.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
