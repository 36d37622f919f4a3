// The built programs as a user runs them: lumvane without a display, and
// lumvane-capture end to end.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Outcome {
  int status;
  std::string output;
};

// Runs a shell command line with standard error folded into the output.
Outcome run(const std::string& command) {
  const std::string full = "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " + command + " 2>&1";
  FILE* pipe = popen(full.c_str(), "r");
  std::string output;
  char buffer[4096];
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    output += buffer;
  }
  const int status = pipe != nullptr ? pclose(pipe) : -1;
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

const std::string saver = LUMVANE_PATH;
const std::string capture = CAPTURE_PATH;
const std::string scratch = SCRATCH_DIR;

TEST(Lumvane, NoticeForAnythingButSlashS) {
  for (const char* arguments : {"/c", "/p 1234", "", "/s extra"}) {
    const Outcome outcome = run(saver + " " + arguments);
    EXPECT_EQ(outcome.status, 0) << arguments;
    EXPECT_NE(outcome.output.find("Notice: Preferences are not available in this version"), std::string::npos)
        << arguments << ": " << outcome.output;
  }
}

TEST(Lumvane, WithoutADisplayTheWindowCannotBeMade) {
  const Outcome outcome = run(saver + " /S");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_NE(outcome.output.find("Lumvane - Fatal Error: Could not initialize window"), std::string::npos)
      << outcome.output;
}

// A display server that goes away ends the saver; it must not hang or spin.
TEST(Lumvane, EndsWhenItsDisplayGoesAway) {
  if (run("which Xvfb").status != 0) {
    GTEST_SKIP() << "Xvfb is not installed";
  }
  const std::string script =
      "Xvfb :87 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 & x=$!; sleep 1; "
      "DISPLAY=:87 " + saver + " /s >/dev/null 2>&1 & s=$!; sleep 2; kill $x; "
      "for i in $(seq 1 50); do kill -0 $s 2>/dev/null || { echo ended; exit 0; }; sleep 0.1; done; "
      "kill -9 $s; echo still running";
  const Outcome outcome = run("bash -c '" + script + "'");
  EXPECT_NE(outcome.output.find("ended"), std::string::npos) << outcome.output;
}

// Started as a hack: what can be judged without an X server. --window is
// the saver in a window of its own, so it meets the missing display as /s does.
TEST(Lumvane, HackOptionsWithoutADisplay) {
  const struct {
    const char* arguments;
    int status;
    const char* says;
  } cases[] = {
      {"--window-id zz", 1, "lumvane: 'zz' is not a window id (0x... or decimal)\n"},
      {"-window-id", 1, "lumvane: --window-id needs a window id\n"},
      {"--root /s", 1, "lumvane: unknown option '/s'\n"},
      {"--root", 1, "lumvane: cannot open the X display: DISPLAY is not set\n"},
      {"--window-id 0x200001", 1, "lumvane: cannot open the X display: DISPLAY is not set\n"},
      {"XSCREENSAVER_WINDOW=nope -root", 1, "lumvane: XSCREENSAVER_WINDOW='nope' is not a window id\n"},
      {"--window", 0, "Lumvane - Fatal Error: Could not initialize window"},
  };
  for (const auto& c : cases) {
    std::string command = c.arguments;
    if (command.rfind("XSCREENSAVER_WINDOW=", 0) == 0) {
      const auto blank = command.find(' ');
      command = command.substr(0, blank) + " " + saver + command.substr(blank);
    } else {
      command = saver + " " + command;
    }
    const Outcome outcome = run(command);
    EXPECT_EQ(outcome.status, c.status) << c.arguments;
    if (c.status == 1) {
      EXPECT_EQ(outcome.output, c.says) << c.arguments;  // one line, nothing else
    } else {
      EXPECT_NE(outcome.output.find(c.says), std::string::npos) << c.arguments << ": " << outcome.output;
    }
  }
}

TEST(Capture, WritesTheRequestedFramesAndTheExitCode) {
  const std::string dir = scratch + "/capture";
  const Outcome outcome = run(capture + " --out " + dir + " --frames 1,3-4,6 --end-after 3");
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  EXPECT_NE(outcome.output.find("exit code: 65\n"), std::string::npos) << outcome.output;
  for (const char* frame : {"000001", "000003", "000004", "000006"}) {
    std::ifstream file(dir + "/frame-" + frame + ".png", std::ios::binary);
    std::string header(24, '\0');
    file.read(header.data(), 24);
    ASSERT_TRUE(file.good()) << frame;
    EXPECT_EQ(header.substr(1, 3), "PNG");
    // IHDR: 640 x 480.
    EXPECT_EQ(static_cast<unsigned char>(header[18]), 0x02);
    EXPECT_EQ(static_cast<unsigned char>(header[19]), 0x80);
    EXPECT_EQ(static_cast<unsigned char>(header[22]), 0x01);
    EXPECT_EQ(static_cast<unsigned char>(header[23]), 0xE0);
  }
}

TEST(Capture, BadArgumentsAndFailedRuns) {
  for (const char* arguments : {"", "--out", "--out x --frames 0", "--out x --frames 5-2", "--frames 1",
                                "--out x --frames 1 --end-after -3", "--out x --frames a,b", "--bogus 1"}) {
    const Outcome outcome = run(capture + " " + arguments);
    EXPECT_EQ(outcome.status, 2) << arguments;
    EXPECT_NE(outcome.output.find("usage: lumvane-capture"), std::string::npos) << arguments;
  }
  const Outcome noBoard = run("FX_GLIDE_NO_BOARD=1 " + capture + " --out " + scratch + "/none --frames 1");
  EXPECT_EQ(noBoard.status, 1);
  EXPECT_NE(noBoard.output.find("exit code: 255"), std::string::npos) << noBoard.output;
  EXPECT_NE(noBoard.output.find("line 23"), std::string::npos);
}

}  // namespace
