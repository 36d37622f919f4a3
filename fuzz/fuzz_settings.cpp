// Fuzzes the reading of the board's settings file (glide2x.ini): any bytes
// give only the board's own switch names, values and a problem line free of
// control characters, line numbers in order; the same text with CR LF line
// ends, or with a UTF-8 byte order mark before it, reads the same.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings.h"

namespace {

using softglide::detail::parseSettings;
using softglide::detail::Settings;

void check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

bool withoutControlCharacters(std::string_view text, bool tabAllowed) {
  return std::none_of(text.begin(), text.end(), [tabAllowed](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && !(tabAllowed && byte == '\t')) || byte == 0x7F;
  });
}

bool same(const Settings& a, const Settings& b) {
  return a.problem == b.problem && a.lines.size() == b.lines.size() &&
         std::equal(a.lines.begin(), a.lines.end(), b.lines.begin(), [](const auto& x, const auto& y) {
           return x.name == y.name && x.value == y.value && x.line == y.line;
         });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Settings settings = parseSettings(text);
  const std::string_view names[] = {"FX_GLIDE_NO_BOARD",  "FX_GLIDE_SWAPINTERVAL", "SST_GAMMA",
                                    "SOFTGLIDE_NO_AVX2", "SOFTGLIDE_RESOLUTION", "SOFTGLIDE_SCALE"};
  const long lineCount = std::count(text.begin(), text.end(), '\n') + 1;
  int previous = 0;
  for (const auto& line : settings.lines) {
    check(std::find(std::begin(names), std::end(names), line.name) != std::end(names));
    check(withoutControlCharacters(line.value, true) && line.line > previous && line.line <= lineCount);
    previous = line.line;
  }
  check(withoutControlCharacters(settings.problem, false) && settings.problem.size() < 200);

  const bool utf16 = text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
  if (!utf16 && text.find('\r') == std::string::npos) {
    std::string crlf;
    for (const char c : text) {
      crlf += c == '\n' ? "\r\n" : std::string(1, c);
    }
    check(same(parseSettings(crlf), settings));
  }
  if (!utf16 && !text.starts_with("\xEF\xBB\xBF")) {
    check(same(parseSettings("\xEF\xBB\xBF" + text), settings));
  }
  return 0;
}
