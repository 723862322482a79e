# minizip's unzip part with decryption, built from the contrib/minizip folder of Debian's zlib
# source package (the version of the installed zlib development package). Debian's own
# libminizip leaves decryption out. tools/minizip/fetch-minizip.sh fetches the source into the
# build folder once; it is never part of the project's tree. A Windows build compiles the same
# two files with its own compiler against its own zlib.
set(T6_MINIZIP_DIR ${PROJECT_BINARY_DIR}/minizip)
execute_process(
  COMMAND bash ${PROJECT_SOURCE_DIR}/tools/minizip/fetch-minizip.sh ${T6_MINIZIP_DIR}
  RESULT_VARIABLE fetch_result)
if(NOT fetch_result EQUAL 0)
  message(FATAL_ERROR "Could not fetch minizip's source (tools/minizip/fetch-minizip.sh): ${fetch_result}")
endif()
find_package(ZLIB REQUIRED)
add_library(t6_minizip STATIC ${T6_MINIZIP_DIR}/unzip.c ${T6_MINIZIP_DIR}/ioapi.c)
target_include_directories(t6_minizip SYSTEM PUBLIC ${T6_MINIZIP_DIR})
target_link_libraries(t6_minizip PUBLIC ZLIB::ZLIB)
# Upstream's code: built as it is, its warnings are not ours to fix. Optimised whatever the
# build type, since every byte of the package passes through its decryption loop.
target_compile_options(t6_minizip PRIVATE -w -O3)
set_target_properties(t6_minizip PROPERTIES POSITION_INDEPENDENT_CODE ON)
