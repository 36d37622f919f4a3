// The built programs as a user runs them: lumvane without a display, and
// lumvane-capture end to end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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
const std::string glideScene = GLIDE_SCENE_PATH;
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
  // The saver must be running (drawing) when the server is killed.
  const std::string script =
      "source " XVFB_STARTER "; start_xvfb -screen 0 640x480x24 || { echo no Xvfb; exit 0; }; x=$XVFB_PID; "
      + saver + " /s >/dev/null 2>&1 & s=$!; sleep 2; "
      "kill -0 $s 2>/dev/null || { echo not running before; kill $x; exit 0; }; kill $x; "
      "for i in $(seq 1 50); do kill -0 $s 2>/dev/null || { echo ended; exit 0; }; sleep 0.1; done; "
      "kill -9 $s; echo still running";
  const Outcome outcome = run("bash -c '" + script + "'");
  EXPECT_EQ(outcome.output, "ended\n");
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
      {"--root --scale stretch", 1, "lumvane: 'stretch' is not a scale (aspect, integer or fill)\n"},
      {"--window-id 0x200001 --scale", 1, "lumvane: --scale needs a mode (aspect, integer or fill)\n"},
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

// A diagnostic written into a closed pipe fails; it never ends the saver
// with SIGPIPE (141): the notice still ends with 0.
TEST(Lumvane, AClosedStandardErrorDoesNotEndIt) {
  const Outcome outcome =
      run("bash -c '(sleep .5; exec " + saver + " /c) 2>&1 | true; echo status ${PIPESTATUS[0]}'");
  EXPECT_NE(outcome.output.find("status 0"), std::string::npos) << outcome.output;
}

std::size_t lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// A file that cannot be written whole (a file size limit stands in for a
// full disk; /dev/full refuses every write) is removed, one line says so,
// the exit code is the tool's failure (1), and no saver exit code is
// claimed. Frame 1 takes about 14 KB, so the limits cut it at 4 KB (a
// write on the way) and 12 KB (the last write, at close).
TEST(Capture, WriteFailuresAreReportedNotHidden) {
  for (const int kilobytes : {4, 12}) {
    const std::string dir = scratch + "/limited" + std::to_string(kilobytes);
    const Outcome outcome = run("bash -c \"trap '' XFSZ; ulimit -f " + std::to_string(kilobytes) + "; exec " +
                                capture + " --out " + dir + " --frames 1,2\"");
    EXPECT_EQ(outcome.status, 1) << kilobytes << ": " << outcome.output;
    EXPECT_EQ(outcome.output.find("exit code"), std::string::npos) << outcome.output;
    EXPECT_EQ(lines(outcome.output), 1u) << outcome.output;
    EXPECT_NE(outcome.output.find("frame-000001.png: cannot write the PNG file: File too large"), std::string::npos)
        << outcome.output;
    EXPECT_NE(access((dir + "/frame-000001.png").c_str(), F_OK), 0) << kilobytes;
  }
  const Outcome scene = run(glideScene + " /dev/full");
  EXPECT_EQ(scene.status, 1);
  EXPECT_EQ(scene.output, "/dev/full: cannot write the PNG file: No space left on device\n");
}

// The capture tool's children, from /proc.
std::vector<pid_t> childrenOf(pid_t parent) {
  std::ifstream file("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children");
  std::vector<pid_t> children;
  for (pid_t child; file >> child;) {
    children.push_back(child);
  }
  return children;
}

// Gone, or a zombie waiting to be reaped: no longer running either way.
bool ended(pid_t process) {
  std::ifstream file("/proc/" + std::to_string(process) + "/stat");
  std::string pid, name, state;
  return !(file >> pid >> name >> state) || state == "Z" || state == "X";
}

// However the tool ends, its saver ends with it within a moment.
TEST(Capture, TheSaverEndsWithTheTool) {
  for (const int signal : {SIGTERM, SIGKILL}) {
    const std::string dir = scratch + "/orphan" + std::to_string(signal);
    const pid_t tool = fork();
    if (tool == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execl(capture.c_str(), capture.c_str(), "--out", dir.c_str(), "--frames", "1,2000000", nullptr);
      _exit(127);
    }
    std::vector<pid_t> children;
    for (int i = 0; i < 100 && children.empty(); ++i) {
      usleep(20'000);
      children = childrenOf(tool);
    }
    ASSERT_EQ(children.size(), 1u) << signal;
    usleep(200'000);
    kill(tool, signal);
    waitpid(tool, nullptr, 0);
    bool childEnded = false;
    for (int i = 0; i < 100 && !childEnded; ++i) {
      childEnded = ended(children[0]);
      usleep(20'000);
    }
    EXPECT_TRUE(childEnded) << "signal " << signal;
    if (!childEnded) {
      kill(children[0], SIGKILL);
    }
  }
}

// The whole list is bounded, not each range: a hundred ranges of 100001
// frames are refused at once (2, the usage), as is one range over the
// bound (lists at the bound: test_capture_options).
TEST(Capture, TheFrameListIsBoundedAsAWhole) {
  std::string huge;
  for (int i = 0; i < 100; ++i) {
    huge += (i ? "," : "") + std::to_string(i * 100001 + 1) + "-" + std::to_string(i * 100001 + 100001);
  }
  const auto start = std::chrono::steady_clock::now();
  const Outcome refused = run(capture + " --out " + scratch + "/huge --frames " + huge);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(refused.status, 2) << refused.output;
  EXPECT_NE(refused.output.find("more than 100001 frames"), std::string::npos) << refused.output;
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(run(capture + " --out " + scratch + "/huge --frames 1-100002").status, 2);
}

// Only "1" hides the board; another value is reported and ignored.
TEST(Capture, NoBoardOnlyForOne) {
  const Outcome ignored = run("FX_GLIDE_NO_BOARD=false " + capture + " --out " + scratch + "/board --frames 1");
  EXPECT_EQ(ignored.status, 0) << ignored.output;
  EXPECT_NE(ignored.output.find("exit code: 65"), std::string::npos) << ignored.output;
  EXPECT_NE(ignored.output.find("FX_GLIDE_NO_BOARD=\"false\" ignored"), std::string::npos) << ignored.output;
}

// An empty program name is still a name: the tail after it is "/s", so the
// saver runs (here it meets no display) instead of showing the notice.
TEST(Lumvane, AnEmptyProgramNameStillRunsSlashS) {
  const Outcome outcome = run("bash -c 'exec -a \"\" " + saver + " /s'");
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  EXPECT_NE(outcome.output.find("Could not initialize window"), std::string::npos) << outcome.output;
  EXPECT_EQ(outcome.output.find("Preferences are not available"), std::string::npos) << outcome.output;
}

// The lines of a frame log that are not "N HASH" for N counting from 1.
int badFrameLines(const std::string& path, int& lines) {
  std::ifstream file(path);
  int bad = 0;
  lines = 0;
  for (std::string line; std::getline(file, line);) {
    ++lines;
    const std::string prefix = std::to_string(lines) + " ";
    bad += line.size() != prefix.size() + 16 || line.compare(0, prefix.size(), prefix) != 0 ||
           line.find_first_not_of("0123456789abcdef", prefix.size()) != std::string::npos;
  }
  return bad;
}

// Started with standard error closed, the run's diagnostics go nowhere:
// never into the frame log that takes the first free descriptor.
TEST(Capture, AClosedStandardErrorKeepsItsLinesOutOfTheLogs) {
  const std::string log = scratch + "/closed-stderr-frames.txt";
  const Outcome outcome = run("bash -c 'SST_GAMMA=2.2x FX_GLIDE_SWAPINTERVAL=abc SOFTGLIDE_FRAMES=" + log + " exec " +
                              capture + " --out " + scratch + "/closed --frames 1-3 --end-after 5 2>&-'");
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  int lines = 0;
  EXPECT_EQ(badFrameLines(log, lines), 0);
  EXPECT_EQ(lines, 25);  // five frames and twenty of the wipe
}

// The exit code line that cannot be written is a failure, said on standard
// error, whether standard output is full or closed.
TEST(Capture, StandardOutputThatTakesNothingIsAFailure) {
  for (const char* redirection : {">/dev/full", ">&-"}) {
    const Outcome outcome = run("bash -c 'exec " + capture + " --out " + scratch + "/stdout --frames 1 " +
                                redirection + "'");
    EXPECT_EQ(outcome.status, 1) << redirection << ": " << outcome.output;
    EXPECT_EQ(lines(outcome.output), 1u) << redirection << ": " << outcome.output;
    EXPECT_NE(outcome.output.find("lumvane-capture: "), std::string::npos) << outcome.output;
  }
}

// A run log that cannot be written whole: the board says so once and the
// log stops; the run goes on, and the tool's exit code says the log is not
// whole. A FIFO that nothing reads is refused at once instead of holding
// the run. (A file size limit stands in for a full disk: the log passes 16
// KB after some 750 swaps; the frame written, about 14 KB, fits.)
TEST(Capture, ALogThatCannotBeWrittenWholeIsAFailure) {
  const std::string fifo = scratch + "/unread-fifo";
  std::remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string environment;
    const char* says;
  } cases[] = {
      {"SOFTGLIDE_FRAMES=/dev/full", "SOFTGLIDE_FRAMES=/dev/full (No space left on device); the log stops here"},
      {"SOFTGLIDE_TRACE=/dev/full", "SOFTGLIDE_TRACE=/dev/full (No space left on device); the log stops here"},
      {"SOFTGLIDE_FRAMES=" + fifo, "(a pipe that nothing reads); going on without it"},
      {"SOFTGLIDE_FRAMES=" + scratch + "/limited-frames.txt", "(File too large); the log stops here"},
  };
  for (const auto& c : cases) {
    const std::string limit = c.environment.find("limited") != std::string::npos ? "trap \"\" XFSZ; ulimit -f 16; " : "";
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = run("bash -c '" + limit + c.environment + " exec " + capture + " --out " + scratch +
                                "/logs --frames 1 --end-after 1000'");  // 1,020 lines: more than 16 KB
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(outcome.status, 1) << c.environment << ": " << outcome.output;
    EXPECT_NE(outcome.output.find(c.says), std::string::npos) << c.environment << ": " << outcome.output;
    EXPECT_NE(outcome.output.find("exit code: 65"), std::string::npos) << c.environment << ": " << outcome.output;
    EXPECT_EQ(lines(outcome.output), 2u) << c.environment << ": " << outcome.output;  // the board's, the exit code
    EXPECT_LT(seconds, 30.0) << c.environment;
  }
}

}  // namespace
