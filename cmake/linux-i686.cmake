# 32-bit Linux with gcc -m32 and Debian's multilib and :i386 libraries: the
# x86 Windows build's code generation, run natively and under
# qemu-i386-static -cpu pentium2 to prove its frames.
# Not a cross build: this machine runs the programs, so the tests are built.
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
include(${CMAKE_CURRENT_LIST_DIR}/pentium2.cmake)
# At -O3 on 32-bit, gcc 12 warns of overlapping copies inside std::string's
# own assign (a false positive of -Wrestrict, gcc bug 105329).
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32 -Wno-restrict")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
# pkg-config and find_package look in the :i386 libraries only.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig")
