// The board's switches in the environment, checked: a value outside what a
// switch documents is ignored with one line on standard error.
#pragma once

#include <optional>

namespace softglide::detail {

inline constexpr int maxSwapInterval = 60;  // one second of retraces

// FX_GLIDE_SWAPINTERVAL: a whole number from 0 to maxSwapInterval overrides
// the program's swap interval; unset or empty, nothing does.
std::optional<int> swapIntervalOverride();

// FX_GLIDE_NO_BOARD: "1" hides the board; unset, empty or "0" does not.
bool boardHidden();

// SOFTGLIDE_NO_AVX2: "1" keeps the board to its plain paths on a processor
// with AVX2 (the pictures are the same); unset, empty or "0" does not.
bool avx2Refused();

// SST_GAMMA: a positive decimal number sets the output gamma of the
// presented picture; unset or empty, it is 1.0.
double outputGamma();

// The parsing behind them, for any text (null: unset). A switch is "1" (on)
// or unset, empty or "0" (off).
std::optional<int> parseSwapInterval(const char* text);
std::optional<bool> parseSwitch(const char* text);
std::optional<double> parseGamma(const char* text);

}  // namespace softglide::detail
