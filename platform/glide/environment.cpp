// The board's environment switches, parsed strictly: a value that means
// nothing documented is reported once and ignored, never half-read (atoi
// turned "abc" into 0 and 2^31-1 into a year-long swap).
#include "environment.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "softglide.h"

namespace softglide::detail {
namespace {

// One line per variable and value, however often and in whatever order the
// variables are read (each time a board opens).
void reportIgnored(const char* name, const char* value, const char* accepted) {
  static std::set<std::string> reported;
  if (!reported.insert(std::string(name) + '=' + value).second) {
    return;
  }
  std::fprintf(stderr, "softglide: %s=\"%s\" ignored: %s\n", name, value, accepted);
  std::fflush(stderr);
}

// A switch from the environment; any value but unset, empty, "0" or "1" is
// reported, saying what "1" does, and leaves the switch off.
bool readSwitch(const char* name, const char* whatOneDoes) {
  const char* value = std::getenv(name);
  const std::optional<bool> on = parseSwitch(value);
  if (!on) {
    reportIgnored(name, value, (std::string("only 1 ") + whatOneDoes).c_str());
  }
  return on.value_or(false);
}

std::optional<int> swapIntervalOverride() {
  const char* value = std::getenv("FX_GLIDE_SWAPINTERVAL");
  if (value == nullptr || value[0] == '\0') {
    return std::nullopt;
  }
  const std::optional<int> interval = parseSwapInterval(value);
  if (!interval) {
    reportIgnored("FX_GLIDE_SWAPINTERVAL", value, "not a whole number from 0 to 60");
  }
  return interval;
}

double outputGamma() {
  const char* value = std::getenv("SST_GAMMA");
  if (value == nullptr || value[0] == '\0') {
    return 1.0;
  }
  const std::optional<double> gamma = parseGamma(value);
  if (!gamma) {
    reportIgnored("SST_GAMMA", value, "not a positive decimal number");
  }
  return gamma.value_or(1.0);
}

// Unset or empty: the default, the 4:3 picture.
ScaleMode scaleMode() {
  const char* value = std::getenv("SOFTGLIDE_SCALE");
  if (value == nullptr || value[0] == '\0') {
    return ScaleMode::aspect;
  }
  const std::optional<ScaleMode> scale = parseScale(value);
  if (!scale) {
    reportIgnored("SOFTGLIDE_SCALE", value, "not aspect, integer or fill");
  }
  return scale.value_or(ScaleMode::aspect);
}

// Unset or empty: the default, the card's 640x480.
Resolution resolution() {
  const char* value = std::getenv("SOFTGLIDE_RESOLUTION");
  if (value == nullptr || value[0] == '\0') {
    return {};
  }
  const std::optional<Resolution> parsed = parseResolution(value);
  if (!parsed) {
    reportIgnored("SOFTGLIDE_RESOLUTION", value, "not 640x480, 2x to 8x or native");
  }
  return parsed.value_or(Resolution{});
}

}  // namespace

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
  return {detail::swapIntervalOverride(), detail::outputGamma(), detail::scaleMode(), detail::resolution()};
}

}  // namespace softglide
