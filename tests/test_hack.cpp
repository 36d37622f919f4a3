// The hack options that XScreenSaver and xsecurelock pass: which window they
// name, and the one-line errors for everything else.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "options.h"
#include "softglide.h"

namespace {

using Target = hack::Options::Target;

struct Case {
  std::vector<std::string> arguments;
  const char* environmentWindow;
  bool hack;
  Target target;
  std::uint32_t window;
  const char* error;        // a part of the message, or "" for none
  const char* scale = "";       // the mode --scale gave, "" for none
  const char* resolution = "";  // what --resolution gave, "" for none
};

// Ids worked out by hand: 0x200001 = 2 * 16^5 + 1 = 2097153;
// 0xFFFFFFFF = 4294967295 is the largest 32-bit id, one more overflows.
const Case cases[] = {
    // Not a hack: the command line is the saver's own to judge.
    {{}, nullptr, false, Target::ownWindow, 0, ""},
    {{"/s"}, nullptr, false, Target::ownWindow, 0, ""},
    {{"/p", "1234"}, "0x10", false, Target::ownWindow, 0, ""},
    // XScreenSaver's programs line and preview, xsecurelock's -root.
    {{"--root"}, "0x200001", true, Target::window, 0x200001, ""},
    {{"-root"}, "2097153", true, Target::window, 0x200001, ""},
    {{"--root"}, nullptr, true, Target::root, 0, ""},
    {{"--root"}, "", true, Target::root, 0, ""},
    {{"--window-id", "0x200001"}, nullptr, true, Target::window, 0x200001, ""},
    {{"-window-id", "0X20000a"}, nullptr, true, Target::window, 0x20000A, ""},
    {{"--window-id", "2097153"}, "0x99", true, Target::window, 0x200001, ""},
    {{"--root", "--window-id", "4294967295"}, "0x99", true, Target::window, 0xFFFFFFFF, ""},
    {{"--window"}, nullptr, true, Target::ownWindow, 0, ""},
    {{"-window"}, "0x99", true, Target::ownWindow, 0, ""},
    // Bad ids, from the option and from the environment.
    {{"--window-id", "zz"}, nullptr, true, Target::window, 0, "'zz' is not a window id"},
    {{"--window-id", "0x"}, nullptr, true, Target::window, 0, "'0x' is not a window id"},
    {{"--window-id", "0"}, nullptr, true, Target::window, 0, "'0' is not a window id"},
    {{"--window-id", "4294967296"}, nullptr, true, Target::window, 0, "'4294967296' is not"},
    {{"--window-id", "0x100000000"}, nullptr, true, Target::window, 0, "'0x100000000' is not"},
    {{"--window-id", "-5"}, nullptr, true, Target::window, 0, "'-5' is not"},
    {{"--window-id", " 12"}, nullptr, true, Target::window, 0, "' 12' is not"},
    {{"--window-id", "12 "}, nullptr, true, Target::window, 0, "'12 ' is not"},
    {{"--window-id", "0x12g"}, nullptr, true, Target::window, 0, "'0x12g' is not"},
    {{"--window-id", ""}, nullptr, true, Target::window, 0, "'' is not"},
    {{"--root"}, "0xbad!", true, Target::window, 0, "XSCREENSAVER_WINDOW='0xbad!' is not a window id"},
    // Missing values, strangers and contradictions.
    {{"--window-id"}, nullptr, true, Target::ownWindow, 0, "--window-id needs a window id"},
    {{"--root", "/s"}, nullptr, true, Target::ownWindow, 0, "unknown option '/s'"},
    {{"/s", "-root"}, nullptr, true, Target::ownWindow, 0, "unknown option '/s'"},
    {{"--root", "--fps"}, nullptr, true, Target::ownWindow, 0, "unknown option '--fps'"},
    {{"---root"}, nullptr, false, Target::ownWindow, 0, ""},
    {{"--window", "--root"}, nullptr, true, Target::ownWindow, 0, "--window cannot go with"},
    // The scale and the resolution, with any target or alone (a window of
    // its own); of each the last one given counts. Their values are the
    // board's (HackOptions.ValuesAreTheBoardsOwn).
    {{"--root", "--scale", "integer"}, "0x200001", true, Target::window, 0x200001, "", "integer"},
    {{"-scale", "fill", "--window-id", "0x10"}, nullptr, true, Target::window, 0x10, "", "fill"},
    {{"--scale", "aspect"}, nullptr, true, Target::ownWindow, 0, "", "aspect"},
    {{"--scale", "fill", "--window", "--scale", "integer"}, nullptr, true, Target::ownWindow, 0, "", "integer"},
    {{"--root"}, nullptr, true, Target::root, 0, "", "", ""},
    {{"--root", "--resolution", "native"}, "0x200001", true, Target::window, 0x200001, "", "", "native"},
    {{"-resolution", "2x", "-scale", "fill", "-window-id", "0x10"}, nullptr, true, Target::window, 0x10, "", "fill",
     "2x"},
    {{"--resolution", "8x", "--resolution", "640x480"}, nullptr, true, Target::ownWindow, 0, "", "", "640x480"},
    {{"--root", "--scale"}, nullptr, true, Target::ownWindow, 0, "--scale needs a mode (aspect, integer or fill)"},
    {{"--root", "--resolution"}, nullptr, true, Target::ownWindow, 0,
     "--resolution needs a resolution (640x480, 2x to 8x or native)"},
    {{"--scale", "fill", "/s"}, nullptr, true, Target::ownWindow, 0, "unknown option '/s'"},
    // A bad value is a bad option wherever it stands: a good one after it
    // does not hide it, and the first thing wrong is the one reported.
    {{"--scale", "bogus", "--scale", "fill"}, nullptr, true, Target::ownWindow, 0, "'bogus' is not a scale"},
    {{"--window-id", "junk", "--window-id", "0x200001"}, nullptr, true, Target::window, 0,
     "'junk' is not a window id"},
    {{"--resolution", "huge", "--root", "--resolution", "native"}, nullptr, true, Target::root, 0,
     "'huge' is not a resolution"},
    {{"--root", "--resolution", "9x", "--scale", "Fill"}, nullptr, true, Target::root, 0, "'9x' is not a resolution"},
    {{"--root", "--scale", "Fill", "--fps"}, nullptr, true, Target::root, 0, "'Fill' is not a scale"},
    {{"--root", "--fps", "--scale", "Fill"}, nullptr, true, Target::root, 0, "unknown option '--fps'"},
    {{"--window", "--window-id", "zz"}, nullptr, true, Target::window, 0, "'zz' is not a window id"},
};

TEST(HackOptions, WindowsAndErrors) {
  for (const Case& c : cases) {
    std::string label;
    for (const std::string& argument : c.arguments) label += "[" + argument + "]";
    label += c.environmentWindow != nullptr ? std::string(" env=") + c.environmentWindow : " no env";
    const hack::Options options = hack::parseOptions(c.arguments, c.environmentWindow);
    EXPECT_EQ(options.hack, c.hack) << label;
    if (*c.error != '\0') {
      EXPECT_NE(options.error.find(c.error), std::string::npos) << label << ": " << options.error;
      EXPECT_EQ(options.error.find('\n'), std::string::npos) << label;
      continue;
    }
    EXPECT_EQ(options.error, "") << label;
    EXPECT_EQ(options.scale, c.scale) << label;
    EXPECT_EQ(options.resolution, c.resolution) << label;
    EXPECT_EQ(static_cast<int>(options.target), static_cast<int>(c.target)) << label;
    if (c.target == Target::window) {
      EXPECT_EQ(options.window, c.window) << label;
    }
  }
}

// The board reads the mode from SOFTGLIDE_SCALE and the grid from
// SOFTGLIDE_RESOLUTION: --scale and --resolution set them, and without the
// option the environment's own value (or none) stays.
TEST(HackOptions, ScaleAndResolutionGoToTheBoardThroughTheEnvironment) {
  const struct {
    std::vector<std::string> arguments;
    const char* before;  // SOFTGLIDE_SCALE and SOFTGLIDE_RESOLUTION before, nullptr: unset
    const char* scale;   // after; nullptr: unset
    const char* resolution;
  } cases[] = {
      {{"--root", "--scale", "fill"}, nullptr, "fill", nullptr},
      {{"--root", "--scale", "integer"}, "aspect", "integer", "aspect"},
      {{"--root", "--resolution", "native"}, nullptr, nullptr, "native"},
      {{"--root", "--resolution", "3x", "--scale", "fill"}, "2x", "fill", "3x"},
      {{"--root"}, "fill", "fill", "fill"},
      {{"--root"}, nullptr, nullptr, nullptr},
  };
  const auto expectVariable = [](const char* name, const char* expected, std::size_t label) {
    const char* now = std::getenv(name);
    if (expected == nullptr) {
      EXPECT_EQ(now, nullptr) << name << " after case " << label;
    } else {
      ASSERT_NE(now, nullptr) << name << " after case " << label;
      EXPECT_STREQ(now, expected) << name << " after case " << label;
    }
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    for (const char* name : {"SOFTGLIDE_SCALE", "SOFTGLIDE_RESOLUTION"}) {
      if (cases[i].before == nullptr) {
        unsetenv(name);
      } else {
        setenv(name, cases[i].before, 1);
      }
    }
    hack::passToBoard(hack::parseOptions(cases[i].arguments, nullptr));
    expectVariable("SOFTGLIDE_SCALE", cases[i].scale, i);
    expectVariable("SOFTGLIDE_RESOLUTION", cases[i].resolution, i);
  }
  unsetenv("SOFTGLIDE_SCALE");
  unsetenv("SOFTGLIDE_RESOLUTION");
}

// Each value through the option and then through the board's own reading
// of the switch it sets: the hack takes exactly what the board takes, and
// the board then draws as the value says (expected values from the
// documented grammar: 640x480, 2x to 8x or native; aspect, integer or fill;
// lower case, nothing around them).
TEST(HackOptions, ValuesAreTheBoardsOwn) {
  using softglide::Resolution;
  using softglide::ScaleMode;
  using Kind = Resolution::Kind;
  const std::pair<const char*, std::optional<Resolution>> resolutions[] = {
      {"640x480", Resolution{}},
      {"2x", Resolution{Kind::multiple, 2}},
      {"5x", Resolution{Kind::multiple, 5}},
      {"8x", Resolution{Kind::multiple, 8}},
      {"native", Resolution{Kind::native, 1}},
      {"1x", std::nullopt},
      {"9x", std::nullopt},
      {"2X", std::nullopt},
      {"Native", std::nullopt},
      {" native", std::nullopt},
      {"1920x1080", std::nullopt},
      {"", std::nullopt}};
  const std::pair<const char*, std::optional<ScaleMode>> scales[] = {
      {"aspect", ScaleMode::aspect}, {"integer", ScaleMode::integer}, {"fill", ScaleMode::fill},
      {"Fill", std::nullopt},        {"fill ", std::nullopt},         {"stretch", std::nullopt},
      {"", std::nullopt}};
  const auto expectTheBoardsGrammar = [](const char* option, const std::string& notOne, const auto& cases,
                                         auto readBack) {
    for (const auto& [value, read] : cases) {
      const hack::Options options = hack::parseOptions({"--root", option, value}, nullptr);
      if (!read) {
        EXPECT_EQ(options.error, "'" + std::string(value) + "' is not " + notOne);
        continue;
      }
      EXPECT_EQ(options.error, "") << value;
      hack::passToBoard(options);
      EXPECT_EQ(softglide::readSwitches().*readBack, *read) << option << " " << value;
    }
  };
  unsetenv("SOFTGLIDE_SCALE");
  unsetenv("SOFTGLIDE_RESOLUTION");
  expectTheBoardsGrammar("--resolution", "a resolution (640x480, 2x to 8x or native)", resolutions,
                         &softglide::Switches::resolution);
  expectTheBoardsGrammar("--scale", "a scale (aspect, integer or fill)", scales, &softglide::Switches::scale);
  unsetenv("SOFTGLIDE_SCALE");
  unsetenv("SOFTGLIDE_RESOLUTION");
}

}  // namespace
