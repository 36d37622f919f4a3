// The board's switches, from the environment or the settings file beside
// the DLL (settings.h), parsed strictly: a value that means nothing
// documented is reported once and ignored, never half-read (atoi turned
// "abc" into 0 and 2^31-1 into a year-long swap).
#include "environment.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "settings.h"
#include "softglide.h"

namespace softglide::detail {
namespace {

// The settings file, read at the first switch the process reads: a
// program's folder and its DLL do not move while it runs.
struct SettingsFile {
  bool read = false;
  std::string path;
  Settings settings;
};
SettingsFile settingsFile;

const SettingsFile& readSettingsFile() {
  if (!settingsFile.read) {
    settingsFile.read = true;
    settingsFile.path = settingsFilePath().value_or("");
    if (!settingsFile.path.empty()) {
      settingsFile.settings = loadSettings(settingsFile.path);
    }
    if (!settingsFile.settings.problem.empty()) {
      std::fprintf(stderr, "softglide: %s: %s\n", settingsFile.path.c_str(), settingsFile.settings.problem.c_str());
      std::fflush(stderr);
    }
  }
  return settingsFile;
}

// One line per variable and value, however often and in whatever order the
// variables are read (each time a board opens).
void reportIgnored(const SwitchText& text, const char* name, const char* accepted) {
  static std::set<std::string> reported;
  if (!reported.insert(std::string(name) + '=' + text.value).second) {
    return;
  }
  std::fprintf(stderr, "softglide: %s%s=\"%s\" ignored: %s\n", text.origin.c_str(), name, text.value, accepted);
  std::fflush(stderr);
}

// A switch; any value but unset, empty, "0" or "1" is reported, saying what
// "1" does, and leaves the switch off.
bool readSwitch(const char* name, const char* whatOneDoes) {
  const SwitchText text = switchText(name);
  const std::optional<bool> on = parseSwitch(text.value);
  if (!on) {
    reportIgnored(text, name, (std::string("only 1 ") + whatOneDoes).c_str());
  }
  return on.value_or(false);
}

// Unset or empty: fallback; a value that parse refuses is reported, saying
// what is accepted, and is fallback too.
template <typename Value, typename Parse>
Value readValue(const char* name, Parse parse, Value fallback, const char* accepted) {
  const SwitchText text = switchText(name);
  if (text.value == nullptr || text.value[0] == '\0') {
    return fallback;
  }
  const auto parsed = parse(text.value);
  if (!parsed) {
    reportIgnored(text, name, accepted);
  }
  return parsed ? Value(*parsed) : fallback;
}

}  // namespace

SwitchText switchText(const char* name, const Settings& file, const std::string& settingsPath) {
  const char* environment = std::getenv(name);
  if (environment != nullptr && environment[0] != '\0') {
    return {environment, ""};
  }
  if (const SettingsLine* line = findSetting(file, name)) {
    return {line->value.c_str(), settingsPath + " line " + std::to_string(line->line) + ": "};
  }
  return {environment, ""};
}

SwitchText switchText(const char* name) {
  const SettingsFile& file = readSettingsFile();
  return switchText(name, file.settings, file.path);
}

bool avx2Refused() {
  return readSwitch("SOFTGLIDE_NO_AVX2", "keeps the board from AVX2");
}

}  // namespace softglide::detail

namespace softglide {

using detail::maxSwapInterval;

// Decimal digits only: no sign, blank, exponent or base prefix.
std::optional<int> parseSwapInterval(const char* text) {
  if (text == nullptr || text[0] == '\0' || std::strlen(text) > 3 ||
      std::strspn(text, "0123456789") != std::strlen(text)) {
    return std::nullopt;
  }
  const int value = std::atoi(text);
  return value <= maxSwapInterval ? std::optional<int>(value) : std::nullopt;
}

std::optional<bool> parseSwitch(const char* text) {
  if (text == nullptr || text[0] == '\0' || std::strcmp(text, "0") == 0) {
    return false;
  }
  if (std::strcmp(text, "1") == 0) {
    return true;
  }
  return std::nullopt;
}

// Digits, a point and digits (either side may be empty, not both), then an
// optional exponent: no blanks, signs, hexadecimal, "inf" or "nan". Zero and
// values too large for a double are no gamma.
std::optional<double> parseGamma(const char* text) {
  if (text == nullptr) {
    return std::nullopt;
  }
  const char* const digits = "0123456789";
  const char* at = text;
  const std::size_t whole = std::strspn(at, digits);
  at += whole;
  std::size_t fraction = 0;
  if (*at == '.') {
    fraction = std::strspn(++at, digits);
    at += fraction;
  }
  if (whole + fraction == 0) {
    return std::nullopt;
  }
  if (*at == 'e' || *at == 'E') {
    at += (at[1] == '+' || at[1] == '-') ? 2 : 1;
    const std::size_t exponent = std::strspn(at, digits);
    if (exponent == 0) {
      return std::nullopt;
    }
    at += exponent;
  }
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  // end != at: a program's locale reads the point differently.
  if (*at != '\0' || end != at || !(value > 0.0) || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<ScaleMode> parseScale(const char* text) {
  if (text == nullptr) {
    return std::nullopt;
  }
  const std::pair<const char*, ScaleMode> names[] = {
      {"aspect", ScaleMode::aspect}, {"integer", ScaleMode::integer}, {"fill", ScaleMode::fill}};
  for (const auto& [name, mode] : names) {
    if (std::strcmp(text, name) == 0) {
      return mode;
    }
  }
  return std::nullopt;
}

std::optional<Resolution> parseResolution(const char* text) {
  if (text == nullptr) {
    return std::nullopt;
  }
  if (std::strcmp(text, "640x480") == 0) {
    return Resolution{};
  }
  if (std::strcmp(text, "native") == 0) {
    return Resolution{Resolution::Kind::native, 1};
  }
  if (text[0] >= '2' && text[0] <= '8' && text[1] == 'x' && text[2] == '\0') {
    return Resolution{Resolution::Kind::multiple, text[0] - '0'};
  }
  return std::nullopt;
}

bool boardHidden() {
  return detail::readSwitch("FX_GLIDE_NO_BOARD", "hides the board");
}

Switches readSwitches() {
  using detail::readValue;
  // Unset or empty: no override, gamma 1, the 4:3 picture, the card's 640x480.
  return {readValue<std::optional<int>>("FX_GLIDE_SWAPINTERVAL", parseSwapInterval, std::nullopt,
                                        "not a whole number from 0 to 60"),
          readValue("SST_GAMMA", parseGamma, 1.0, "not a positive decimal number"),
          readValue("SOFTGLIDE_SCALE", parseScale, ScaleMode::aspect, "not aspect, integer or fill"),
          readValue("SOFTGLIDE_RESOLUTION", parseResolution, Resolution{}, "not 640x480, 2x to 8x or native")};
}

}  // namespace softglide
