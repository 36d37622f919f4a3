// The hack options that XScreenSaver and xsecurelock pass: which window they
// name, and the one-line errors for everything else.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "options.h"

namespace {

using Target = hack::Options::Target;

struct Case {
  std::vector<std::string> arguments;
  const char* environmentWindow;
  bool hack;
  Target target;
  std::uint32_t window;
  const char* error;        // a part of the message, or "" for none
  const char* scale = "";  // the mode --scale gave, "" for none
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
    // The scale, with any target or alone (a window of its own); the last
    // one given counts. Only the three modes, in lower case.
    {{"--root", "--scale", "integer"}, "0x200001", true, Target::window, 0x200001, "", "integer"},
    {{"-scale", "fill", "--window-id", "0x10"}, nullptr, true, Target::window, 0x10, "", "fill"},
    {{"--scale", "aspect"}, nullptr, true, Target::ownWindow, 0, "", "aspect"},
    {{"--scale", "fill", "--window", "--scale", "integer"}, nullptr, true, Target::ownWindow, 0, "", "integer"},
    {{"--root"}, nullptr, true, Target::root, 0, "", ""},
    {{"--root", "--scale"}, nullptr, true, Target::ownWindow, 0, "--scale needs a mode (aspect, integer or fill)"},
    {{"--root", "--scale", "Fill"}, nullptr, true, Target::ownWindow, 0,
     "'Fill' is not a scale (aspect, integer or fill)"},
    {{"--scale", "stretch"}, nullptr, true, Target::ownWindow, 0, "'stretch' is not a scale"},
    {{"--scale", ""}, nullptr, true, Target::ownWindow, 0, "'' is not a scale"},
    {{"--scale", "fill", "/s"}, nullptr, true, Target::ownWindow, 0, "unknown option '/s'"},
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
    EXPECT_EQ(static_cast<int>(options.target), static_cast<int>(c.target)) << label;
    if (c.target == Target::window) {
      EXPECT_EQ(options.window, c.window) << label;
    }
  }
}

// The board reads the mode from SOFTGLIDE_SCALE: --scale sets it, and
// without --scale the environment's own value (or none) stays.
TEST(HackOptions, ScaleGoesToTheBoardThroughTheEnvironment) {
  const struct {
    std::vector<std::string> arguments;
    const char* before;  // SOFTGLIDE_SCALE before, nullptr: unset
    const char* after;   // nullptr: unset
  } cases[] = {
      {{"--root", "--scale", "fill"}, nullptr, "fill"},
      {{"--root", "--scale", "integer"}, "aspect", "integer"},
      {{"--root"}, "fill", "fill"},
      {{"--root"}, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    if (c.before == nullptr) {
      unsetenv("SOFTGLIDE_SCALE");
    } else {
      setenv("SOFTGLIDE_SCALE", c.before, 1);
    }
    hack::passToBoard(hack::parseOptions(c.arguments, nullptr));
    const char* now = std::getenv("SOFTGLIDE_SCALE");
    if (c.after == nullptr) {
      EXPECT_EQ(now, nullptr) << c.arguments.size();
    } else {
      ASSERT_NE(now, nullptr);
      EXPECT_STREQ(now, c.after);
    }
  }
  unsetenv("SOFTGLIDE_SCALE");
}

}  // namespace
