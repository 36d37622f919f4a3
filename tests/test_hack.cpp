// The hack options that XScreenSaver and xsecurelock pass: which window they
// name, and the one-line errors for everything else.
#include <gtest/gtest.h>

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
  const char* error;  // a part of the message, or "" for none
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
    EXPECT_EQ(static_cast<int>(options.target), static_cast<int>(c.target)) << label;
    if (c.target == Target::window) {
      EXPECT_EQ(options.window, c.window) << label;
    }
  }
}

}  // namespace
