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

// The parsing behind both, for any text (null: unset).
std::optional<int> parseSwapInterval(const char* text);
std::optional<bool> parseNoBoard(const char* text);

}  // namespace softglide::detail
