# Shared by the mingw-w64 toolchain files: set T6_MINGW_PREFIX and CMAKE_SYSTEM_PROCESSOR, then
# include this. The posix thread model is the one where std::thread and std::mutex work.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${T6_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${T6_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${T6_MINGW_PREFIX}-windres)

# Headers and libraries of the target only; programs (windres, python) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${T6_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# zlib linked in, not beside the program as zlib1.dll: the program is one file.
set(ZLIB_USE_STATIC_LIBS ON)

# Test programs run through Wine in the scratch prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
