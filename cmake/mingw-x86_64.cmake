# The same Windows sources for 64-bit x86: for Wine on machines whose kernel runs no 32-bit
# programs (a 32-bit Windows program needs Wine's 32-bit Linux loader).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(T6_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
