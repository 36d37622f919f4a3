# How every Windows program and DLL of ours links its runtime: libgcc and
# libstdc++ statically, so that each imports system DLLs alone, and on 32-bit
# with the shim that lets that runtime start on Windows 95 (platform/mingw).
function(lumvane_windows_runtime target)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_libraries(${target} PRIVATE win95_runtime)
  endif()
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endfunction()
