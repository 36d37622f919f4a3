// Reading the board's settings file: forgiving of what hands and editors put
// in an ini file, never trusting its bytes (anything may be there), and
// saying in one line what it skipped.
#include "settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace softglide::detail {
namespace {

// The switches the file sets, and the ones it names only to be told that
// they are the environment's (see settings.h).
constexpr std::string_view fileSwitches[] = {"FX_GLIDE_NO_BOARD",  "FX_GLIDE_SWAPINTERVAL", "SST_GAMMA",
                                             "SOFTGLIDE_NO_AVX2", "SOFTGLIDE_RESOLUTION", "SOFTGLIDE_SCALE"};
constexpr std::string_view environmentOnly[] = {"SOFTGLIDE_TRACE", "SOFTGLIDE_FRAMES"};
constexpr std::string_view ourSection = "softglide";
// Longer names are not repeated in the message whole.
constexpr std::size_t longestNameSaid = 40;

enum class Section { none, ours, other };

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// One pair of matching quotes around a value goes, as Windows' own profile
// functions take it.
std::string_view unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
           return upper(x) == upper(y);
         });
}

bool holdsControlCharacters(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && byte != '\t') || byte == 0x7F;
  });
}

bool isName(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
}

template <std::size_t count>
std::optional<std::string_view> spelled(const std::string_view (&names)[count], std::string_view name) {
  for (const std::string_view known : names) {
    if (sameIgnoringCase(known, name)) {
      return known;
    }
  }
  return std::nullopt;
}

std::string said(std::string_view name) {
  return name.size() <= longestNameSaid ? std::string(name) : std::string(name.substr(0, longestNameSaid)) + "...";
}

// Reads one line (without its end) into settings; says why it was skipped,
// or nothing where it was read or had nothing to read.
std::string readLine(std::string_view line, int number, Section& section, Settings& settings) {
  const std::string_view text = trimmed(line);
  if (text.empty() || text.front() == ';' || text.front() == '#') {
    return {};
  }
  if (text.front() == '[') {
    if (text.back() != ']') {
      return "not a [section] or NAME=value";
    }
    section = sameIgnoringCase(trimmed(text.substr(1, text.size() - 2)), ourSection) ? Section::ours : Section::other;
    return {};
  }
  if (section == Section::other) {
    return {};
  }
  if (holdsControlCharacters(text)) {
    return "control characters";
  }
  if (section == Section::none) {
    return "outside the [softglide] section";
  }
  const std::size_t equals = text.find('=');
  const std::string_view name = trimmed(text.substr(0, equals));
  if (equals == std::string_view::npos || !isName(name)) {
    return "not NAME=value";
  }
  if (spelled(environmentOnly, name)) {
    return said(name) + " is read from the environment only";
  }
  const std::optional<std::string_view> known = spelled(fileSwitches, name);
  if (!known) {
    return said(name) + " is not a switch of the board";
  }
  settings.lines.push_back({std::string(*known), std::string(unquoted(trimmed(text.substr(equals + 1)))), number});
  return {};
}

}  // namespace

Settings parseSettings(std::string_view text) {
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
    return {{}, "ignored: UTF-16 text; save it as ANSI or UTF-8"};
  }
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);
  }
  Settings settings;
  Section section = Section::none;
  int skipped = 0;
  for (int number = 1; !text.empty(); ++number) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    const std::string why = readLine(line, number, section, settings);
    if (!why.empty() && skipped++ == 0) {
      settings.problem = "line " + std::to_string(number) + " ignored: " + why;
    }
  }
  if (skipped > 1) {
    settings.problem += ", and " + std::to_string(skipped - 1) + (skipped == 2 ? " more line" : " more lines");
  }
  return settings;
}

Settings loadSettings(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    if (errno == ENOENT) {
      return {};
    }
    return {{}, std::string("ignored: cannot be read (") + std::strerror(errno) + ")"};
  }
  std::string text(largestSettingsFile + 1, '\0');
  errno = 0;
  const std::size_t length = std::fread(text.data(), 1, text.size(), file);
  const int error = errno;
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    return {{}, std::string("ignored: cannot be read (") + (error != 0 ? std::strerror(error) : "a read failed") + ")"};
  }
  if (length > largestSettingsFile) {
    return {{}, "ignored: larger than " + std::to_string(largestSettingsFile / 1024) + " KiB"};
  }
  text.resize(length);
  return parseSettings(text);
}

const SettingsLine* findSetting(const Settings& settings, std::string_view name) {
  const auto last = std::find_if(settings.lines.rbegin(), settings.lines.rend(),
                                 [name](const SettingsLine& line) { return line.name == name; });
  return last == settings.lines.rend() ? nullptr : &*last;
}

}  // namespace softglide::detail
