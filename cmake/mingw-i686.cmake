# The product: 32-bit Windows, run under 32-bit Wine.
set(QUORVEL_MINGW_ARCH i686)
set(QUORVEL_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
