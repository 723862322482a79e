# The Windows product: 32-bit x86, as it ships.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(T6_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
