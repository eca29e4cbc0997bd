# Cross build for 32-bit Windows, the program as it ships.
set(DT_MINGW_ARCH i686)
set(DT_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
