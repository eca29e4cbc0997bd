# Cross build for 64-bit Windows: the same program, whose tests run under
# 64-bit Wine on hosts that cannot execute 32-bit programs. The loader is
# named itself: the wine script takes the 32-bit loader whenever it is
# installed, and that one needs a host that runs 32-bit programs.
set(DT_MINGW_ARCH x86_64)
set(DT_WINE /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
