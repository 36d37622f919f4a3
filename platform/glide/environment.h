// The board's switches in the environment (and on Windows in the settings
// file beside the DLL), checked: a value outside what a switch documents is
// ignored with one line on standard error. The board reads them when it
// opens, as Glide drivers read theirs; the parsing and the switches
// grSstWinOpen reads are softglide.h's.
#pragma once

#include <string>

namespace softglide::detail {

struct Settings;

// A switch's text and where it came from.
struct SwitchText {
  const char* value = nullptr;  // null: unset
  std::string origin;           // "" for the environment, "PATH line N: " for the settings file
};

// Every switch's text comes from here: the environment's where it is set and
// not empty, else the settings file's (its last line for the switch), else
// the environment's again (unset or empty). The file is settingsFilePath()'s,
// read once, at the first call of the process; the second form takes the
// file and its path given.
SwitchText switchText(const char* name);
SwitchText switchText(const char* name, const Settings& file, const std::string& settingsPath);

inline constexpr int maxSwapInterval = 60;  // one second of retraces

// SOFTGLIDE_NO_AVX2: "1" keeps the board to its plain paths on a processor
// with AVX2 (the pictures are the same); unset, empty or "0" does not.
bool avx2Refused();

}  // namespace softglide::detail
