// The board's environment switches, parsed strictly: a value that means
// nothing documented is reported once and ignored, never half-read (atoi
// turned "abc" into 0 and 2^31-1 into a year-long swap).
#include "environment.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace softglide::detail {
namespace {

// One line per variable and value, however often the value is read.
void reportIgnored(const char* name, const char* value, const char* accepted) {
  static std::string lastReported;
  const std::string key = std::string(name) + '=' + value;
  if (key == lastReported) {
    return;
  }
  lastReported = key;
  std::fprintf(stderr, "softglide: %s=\"%s\" ignored: %s\n", name, value, accepted);
  std::fflush(stderr);
}

}  // namespace

// Decimal digits only: no sign, blank, exponent or base prefix.
std::optional<int> parseSwapInterval(const char* text) {
  if (text == nullptr || text[0] == '\0' || std::strlen(text) > 3 ||
      std::strspn(text, "0123456789") != std::strlen(text)) {
    return std::nullopt;
  }
  const int value = std::atoi(text);
  return value <= maxSwapInterval ? std::optional<int>(value) : std::nullopt;
}

std::optional<bool> parseNoBoard(const char* text) {
  if (text == nullptr || text[0] == '\0' || std::strcmp(text, "0") == 0) {
    return false;
  }
  if (std::strcmp(text, "1") == 0) {
    return true;
  }
  return std::nullopt;
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

bool boardHidden() {
  const char* value = std::getenv("FX_GLIDE_NO_BOARD");
  const std::optional<bool> hidden = parseNoBoard(value);
  if (!hidden) {
    reportIgnored("FX_GLIDE_NO_BOARD", value, "only 1 hides the board");
  }
  return hidden.value_or(false);
}

}  // namespace softglide::detail
