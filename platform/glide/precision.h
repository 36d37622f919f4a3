// The x87 control word while the board is open, on 32-bit x86 targets,
// whose arithmetic runs on the x87 unit: double rounding as on every other
// target, and no floating-point exception ever traps.
#pragma once

namespace softglide::detail {

// At grSstWinOpen: keeps the caller's control word and sets 53-bit
// precision, rounding to nearest and every exception masked, so that each
// double result is rounded as SSE2 rounds it and a division by zero gives
// an infinity. Does nothing on other processors.
void useBoardPrecision();

// At grGlideShutdown of an open board: gives the caller's control word back.
void restoreCallerPrecision();

}  // namespace softglide::detail
