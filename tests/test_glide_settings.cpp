// The board's settings file (glide2x.ini beside the Windows DLL), from
// inside: its text read line by line, the file read whole, and the
// environment winning over it. Finding the DLL's folder is Windows' own and
// is checked under Wine (tests/windows).
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "environment.h"
#include "settings.h"

namespace {

using namespace std::literals;
using softglide::detail::Settings;

// The lines read, as "NAME=value@LINE;..." in the file's order.
std::string linesOf(const Settings& settings) {
  std::string text;
  for (const auto& line : settings.lines) {
    text += line.name + "=" + line.value + "@" + std::to_string(line.line) + ";";
  }
  return text;
}

// Each row: a file's text, the lines read from it and the one-line problem.
TEST(SettingsFile, ReadsWhatItCanAndSaysWhatItSkipped) {
  const struct {
    std::string text;
    const char* lines;
    std::string problem;
  } cases[] = {
      {"", "", ""},
      {"[softglide]\nSOFTGLIDE_RESOLUTION=native\n", "SOFTGLIDE_RESOLUTION=native@2;", ""},
      // Notepad's: a byte order mark, CR LF, blanks, comments; any letter case.
      {"\xEF\xBB\xBF; Lumvane\r\n[ SoftGlide ]\r\n  # note\r\n\r\n softglide_scale =\tfill \r\n",
       "SOFTGLIDE_SCALE=fill@5;", ""},
      {"[softglide]\nSST_GAMMA=\"1.7\"\nSOFTGLIDE_SCALE='fill'\nSOFTGLIDE_RESOLUTION=\"2x'\nSST_GAMMA=\n",
       "SST_GAMMA=1.7@2;SOFTGLIDE_SCALE=fill@3;SOFTGLIDE_RESOLUTION=\"2x'@4;SST_GAMMA=@5;", ""},
      // Other sections are other programs' business; the last line has no end.
      {"[other]\nFOO=1\njunk\n[softglide]\nFX_GLIDE_NO_BOARD=1\n[more]\nSST_GAMMA=2\n[SOFTGLIDE]\nSST_GAMMA==2",
       "FX_GLIDE_NO_BOARD=1@5;SST_GAMMA==2@9;", ""},
      {"SOFTGLIDE_RESOLUTION=native\n", "", "line 1 ignored: outside the [softglide] section"},
      {"[softglide]\nnative\n=2x\nSOFTGLIDE RESOLUTION=2x\nFX_GLIDE_SWAPINTERVAL=0\n[softglide\nSST_GAMMA=2",
       "FX_GLIDE_SWAPINTERVAL=0@5;SST_GAMMA=2@7;", "line 2 ignored: not NAME=value, and 3 more lines"},
      {"[softglide]\nSOFTGLIDE_TRACE=t.txt\nsoftglide_frames=f.txt\n", "",
       "line 2 ignored: SOFTGLIDE_TRACE is read from the environment only, and 1 more line"},
      {"[softglide]\nSOFTGLIDE_RESOLUTON=2x\n", "", "line 2 ignored: SOFTGLIDE_RESOLUTON is not a switch of the board"},
      {"[softglide]\n" + std::string(50, 'A') + "=1\n", "",
       "line 2 ignored: " + std::string(40, 'A') + "... is not a switch of the board"},
      {"[softglide\nSST_GAMMA=2\n", "", "line 1 ignored: not a [section] or NAME=value, and 1 more line"},
      // Control characters never reach a message or a value.
      {"[softglide]\nSST_GAMMA=1\x1b[2J\nSST_GAMMA=1\0\nSOFTGLIDE_SCALE=fill\rx\nSOFTGLIDE_SCALE=fill\n"s,
       "SOFTGLIDE_SCALE=fill@5;", "line 2 ignored: control characters, and 2 more lines"},
      {"\xFF\xFE[\0s\0o\0f\0t\0"s, "", "ignored: UTF-16 text; save it as ANSI or UTF-8"},
  };
  for (const auto& row : cases) {
    const Settings settings = softglide::detail::parseSettings(row.text);
    EXPECT_EQ(linesOf(settings), row.lines) << row.text;
    EXPECT_EQ(settings.problem, row.problem) << row.text;
  }

  const Settings twice = softglide::detail::parseSettings("[softglide]\nSOFTGLIDE_SCALE=fill\nsoftglide_scale=integer\n");
  const auto* last = softglide::detail::findSetting(twice, "SOFTGLIDE_SCALE");
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->value, "integer");
  EXPECT_EQ(last->line, 3);
  EXPECT_EQ(softglide::detail::findSetting(twice, "SST_GAMMA"), nullptr);
}

// A missing file is no problem; one that cannot be read or is too large to
// be a settings file is ignored whole, said in one line.
TEST(SettingsFile, ReadWholeOrNotAtAll) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("lumvane-settings-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const auto write = [&folder](const char* name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
    return (folder / name).string();
  };
  const std::string good = "[softglide]\r\nSOFTGLIDE_RESOLUTION=3x\r\n";
  const std::size_t limit = softglide::detail::largestSettingsFile;
  const struct {
    std::string path;
    const char* lines;
    const char* problem;
  } cases[] = {
      {(folder / "missing.ini").string(), "", ""},
      {(folder / "nowhere" / "glide2x.ini").string(), "", ""},
      {write("good.ini", good), "SOFTGLIDE_RESOLUTION=3x@2;", ""},
      {write("largest.ini", good + std::string(limit - good.size() - 1, ';') + "\n"), "SOFTGLIDE_RESOLUTION=3x@2;", ""},
      {write("too-large.ini", good + std::string(limit - good.size(), ';') + "\n"), "", "ignored: larger than 64 KiB"},
      {folder.string(), "", "ignored: cannot be read (Is a directory)"},
  };
  for (const auto& row : cases) {
    const Settings settings = softglide::detail::loadSettings(row.path);
    EXPECT_EQ(linesOf(settings), row.lines) << row.path;
    EXPECT_EQ(settings.problem, row.problem) << row.path;
  }
  std::filesystem::remove_all(folder);
}

// The environment wins where it gives a value; empty counts as unset, as
// it does for every switch.
TEST(SettingsFile, TheEnvironmentWins) {
  const Settings file = softglide::detail::parseSettings("[softglide]\nSOFTGLIDE_SCALE=fill\nSST_GAMMA=\n");
  const struct {
    const char* name;
    const char* environment;  // nullptr: unset
    const char* value;        // nullptr: none
    const char* origin;
  } cases[] = {
      {"SOFTGLIDE_SCALE", nullptr, "fill", "C:\\Lumvane\\glide2x.ini line 2: "},
      {"SOFTGLIDE_SCALE", "", "fill", "C:\\Lumvane\\glide2x.ini line 2: "},
      {"SOFTGLIDE_SCALE", "integer", "integer", ""},
      {"SST_GAMMA", nullptr, "", "C:\\Lumvane\\glide2x.ini line 3: "},
      {"SST_GAMMA", "2", "2", ""},
      {"SOFTGLIDE_RESOLUTION", nullptr, nullptr, ""},
      {"SOFTGLIDE_RESOLUTION", "", "", ""},
  };
  for (const auto& row : cases) {
    if (row.environment == nullptr) {
      unsetenv(row.name);
    } else {
      setenv(row.name, row.environment, 1);
    }
    const auto text = softglide::detail::switchText(row.name, file, "C:\\Lumvane\\glide2x.ini");
    EXPECT_EQ(text.value == nullptr ? "<none>" : std::string(text.value), row.value == nullptr ? "<none>" : row.value)
        << row.name << " " << (row.environment == nullptr ? "unset" : row.environment);
    EXPECT_EQ(text.origin, row.origin) << row.name;
    unsetenv(row.name);
  }
}

}  // namespace
