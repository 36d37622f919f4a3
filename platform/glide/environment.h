// The board's switches in the environment, checked: a value outside what a
// switch documents is ignored with one line on standard error. The board
// reads them when it opens, as Glide drivers read theirs; the parsing and
// the switches grSstWinOpen reads are softglide.h's.
#pragma once

namespace softglide::detail {

inline constexpr int maxSwapInterval = 60;  // one second of retraces

// SOFTGLIDE_NO_AVX2: "1" keeps the board to its plain paths on a processor
// with AVX2 (the pictures are the same); unset, empty or "0" does not.
bool avx2Refused();

}  // namespace softglide::detail
