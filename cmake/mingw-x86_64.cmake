# The same sources for 64-bit Windows, run under 64-bit Wine where the kernel
# can't run 32-bit code.
set(QUORVEL_MINGW_ARCH x86_64)
set(QUORVEL_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
