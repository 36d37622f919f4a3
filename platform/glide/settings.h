// The board's settings file: on Windows, glide2x.ini beside glide2x.dll, as
// Glide wrappers keep their settings beside their DLL (nobody sets a screen
// saver's environment there). Its [softglide] section gives the board's
// switches, one NAME=value a line; the environment wins over it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace softglide::detail {

// A file larger than this is no settings file (a few lines are).
inline constexpr std::size_t largestSettingsFile = 64 * 1024;

// One NAME=value line of the [softglide] section.
struct SettingsLine {
  std::string name;   // as the board spells it: FX_GLIDE_SWAPINTERVAL, ...
  std::string value;  // without the blanks or one pair of quotes around it; may be empty
  int line;           // from 1
};

struct Settings {
  std::vector<SettingsLine> lines;  // in the file's order
  // What was not read, as one line without control characters ("line 3
  // ignored: not NAME=value, and 2 more lines"); empty when all was read.
  std::string problem;
};

// The text of a settings file, forgivingly: blank lines and comments (";"
// or "#" first) pass; section headers "[name]" choose the section, and only
// [softglide]'s lines count; names and section names in any letter case;
// blanks around names and values, line ends of CR LF or LF and a UTF-8 byte
// order mark are allowed. A line outside any section, one that is not
// NAME=value, holds control characters or names what the file does not set
// is skipped and counted in the problem; the other lines still count.
// The file sets the board's switches, not the run logs (SOFTGLIDE_TRACE,
// SOFTGLIDE_FRAMES): those are chosen per run, and a forgotten trace line
// would write megabytes a second at every start of the screen saver.
Settings parseSettings(std::string_view text);

// The file at path, read whole: no lines and no problem where there is no
// file; no lines and a problem where it cannot be read or is larger than
// largestSettingsFile.
Settings loadSettings(const std::string& path);

// The last line that sets name (spelled as the board spells it), or null.
const SettingsLine* findSetting(const Settings& settings, std::string_view name);

// Where the board's settings file is, if the system has one: glide2x.ini
// beside the DLL on Windows (settingsfile_windows.cpp), nowhere elsewhere
// (settingsfile_none.cpp).
std::optional<std::string> settingsFilePath();

}  // namespace softglide::detail
