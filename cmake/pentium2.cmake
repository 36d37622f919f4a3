# The code generation of the 32-bit targets (Windows x86 and linux-i686): a
# Pentium II's instructions, x87 arithmetic, no SSE or SSE2 outside the
# functions marked for AVX2 that run behind a processor check. Every value
# is rounded to its declared type where it is stored (-ffloat-store); the
# board sets the x87 precision to 53 bits while it is open, so that double
# arithmetic rounds as on the SSE2 targets. The stack is realigned for the
# AVX2 functions, which callers from Windows do not align. The vector helpers
# are inlined into those functions, so their ABI note (-Wpsabi) does not apply.
# The top-level CMakeLists adds them to every compilation: kept out of the
# cached CMAKE_<LANG>_FLAGS, a build folder made before they changed cannot
# keep stale ones.
set(LUMVANE_TARGET_FLAGS -march=pentium2 -mtune=generic -mfpmath=387 -ffloat-store -mstackrealign -Wno-psabi)
