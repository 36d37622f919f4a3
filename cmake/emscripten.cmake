# Toolchain for the WebAssembly build: Debian's emscripten (emcc needs
# NODE_PATH=/usr/share/nodejs, which the web preset sets), with the headers
# its libc++ lacks in cmake/web-include.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_CXX_FLAGS_INIT} -isystem ${CMAKE_CURRENT_LIST_DIR}/web-include")
