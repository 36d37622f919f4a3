# Toolchain for the WebAssembly build: Debian's emscripten (emcc needs
# NODE_PATH=/usr/share/nodejs, which the web preset sets), with the headers
# its libc++ lacks in cmake/web-include.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
# WebAssembly's 128-bit vectors (the presenter's conversions use them; its
# float arithmetic is IEEE like the scalar one) and bulk memory copies, which
# every current browser and Node have.
# (CMake reads a toolchain file more than once.)
if(NOT CMAKE_CXX_FLAGS_INIT MATCHES "web-include")
  string(APPEND CMAKE_CXX_FLAGS_INIT " -isystem ${CMAKE_CURRENT_LIST_DIR}/web-include -msimd128 -mbulk-memory")
  string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -msimd128 -mbulk-memory")
endif()
