// The application: the command-line rule, the input that ends the saver,
// the closing sequence and every start-up failure, each run in a fresh child
// on the headless display with scripted input.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/fatalerror.h"
#include "app/screenwindow.h"
#include "app/startup.h"
#include "device/glidesystem.h"
#include "effect/heap.h"
#include "isolated.h"
#include "saver_fixture.h"
#include "win32/display.h"

namespace {

std::string tailOf(const char* commandLine) {
  std::vector<char> copy(commandLine, commandLine + std::strlen(commandLine) + 1);
  return commandLineTail(copy.data());
}

TEST(CommandLine, TailFollowsTheProgramNameAndItsBlanks) {
  EXPECT_EQ(tailOf("lumvane.scr /s"), "/s");
  EXPECT_EQ(tailOf("\"C:\\Windows\\lumvane.scr\"/s"), "/s");  // quoted name glued to the tail
  EXPECT_EQ(tailOf("\"C:\\My Savers\\lumvane.scr\" /S"), "/S");
  EXPECT_EQ(tailOf("lumvane.scr \t \t/s"), "/s");
  EXPECT_EQ(tailOf("lumvane.scr\v\f\r\n/s "), "/s ");  // trailing blanks stay
  EXPECT_EQ(tailOf("lumvane.scr /p 1234"), "/p 1234");
  EXPECT_EQ(tailOf("lumvane.scr"), "");
  EXPECT_EQ(tailOf("\"unterminated /s"), "");
  EXPECT_EQ(tailOf(""), "");
}

// Runs WinMain with the given tail; input is scripted by the caller first.
IsolatedRun runSaver(const std::string& tail, const std::function<void()>& script = [] {}) {
  return runIsolated([tail, script] {
    prepareHeadless();
    static int presented = 0;
    win32::headless::observePresents([](const std::vector<std::uint32_t>&) { ++presented; });
    script();
    std::vector<char> commandLine(tail.begin(), tail.end());
    commandLine.push_back('\0');
    const int code = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
    reportFact("returned", code);
    reportFact("frames", presented);
    reportFact("swaps", callsNamed("grBufferSwap").size());
    reportFact("getMessageCalls", win32::headless::getMessageCalls());
    reportFact("glideCalls", softglide::trace().size());
    reportFact("cursorVisible", win32::headless::cursorVisible());
    reportFact("shutdown", !callsNamed("grGlideShutdown").empty());
    std::string boxes;
    for (const auto& box : win32::headless::messageBoxes()) {
      boxes += box.caption + "|" + box.text + "|" + std::to_string(box.type) + "|" + (box.owner ? "owned" : "none");
    }
    reportFact("boxes", boxes);
    reportFact("window", GetActiveWindow() != nullptr);
  });
}

TEST(CommandLine, OnlySlashSRunsTheSaver) {
  for (const char* tail : {"/s", "/S"}) {
    const IsolatedRun run = runSaver(tail, [] { win32::headless::scriptKeyDown(3, 'A'); });
    EXPECT_EQ(run["returned"], "65") << tail;
  }
  for (const char* tail : {"/s ", "/s x", "-s", "/c", "/c:1234", "/p 1234", "", "s", "/ss"}) {
    const IsolatedRun run = runSaver(tail);
    EXPECT_EQ(run["returned"], "0") << tail;
    EXPECT_EQ(run["boxes"], "Notice|Preferences are not available in this version|0|none") << tail;
    EXPECT_EQ(run["glideCalls"], "0") << tail;
    EXPECT_EQ(run["window"], "0") << tail;
    EXPECT_EQ(run["getMessageCalls"], "0") << tail;
  }
}

TEST(Input, AKeyEndsTheSaverWithItsCodeAfterTheWipe) {
  const IsolatedRun run = runSaver("/s", [] { win32::headless::scriptKeyDown(5, VK_ESCAPE); });
  EXPECT_EQ(run["returned"], std::to_string(VK_ESCAPE));
  EXPECT_EQ(run["frames"], "25");  // five frames, the last after the key, then twenty of the wipe
  EXPECT_EQ(run["shutdown"], "1");
  EXPECT_EQ(run["cursorVisible"], "0");
  EXPECT_EQ(run["boxes"], "");
  // A key held at start ends the saver on its release.
  const IsolatedRun release = runSaver("/s", [] { win32::headless::scriptKeyUp(2, VK_SHIFT); });
  EXPECT_EQ(release["returned"], std::to_string(VK_SHIFT));
  EXPECT_EQ(release["frames"], "22");
}

TEST(Input, TheFifthMouseMoveEndsTheSaver) {
  const IsolatedRun run = runSaver("/s", [] {
    for (int call = 2; call <= 5; ++call) win32::headless::scriptMouseMove(call, call, call);
    win32::headless::scriptMouseMove(9, 1, 1, MK_SHIFT | MK_RBUTTON);
  });
  EXPECT_EQ(run["returned"], std::to_string(MK_SHIFT | MK_RBUTTON));
  EXPECT_EQ(run["frames"], "29");
  EXPECT_EQ(run["getMessageCalls"], "9");
}

TEST(Input, WhatDoesNotEndTheSaver) {
  const IsolatedRun run = runSaver("/s", [] {
    win32::headless::scriptKeyDown(2, VK_F10);
    win32::headless::scriptKeyDown(3, 'X', true);
    win32::headless::scriptKeyDown(4, VK_F4, true);  // Alt+F4: its close command is dropped
    win32::headless::scriptKeyUp(5, VK_MENU, true);
    win32::headless::scriptInput(6, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    win32::headless::scriptInput(7, WM_LBUTTONUP, 0, 0);
    win32::headless::scriptInput(8, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    win32::headless::scriptAction(9, [] { PostQuitMessage(0); });
    win32::headless::scriptKeyDown(12, 'B');
  });
  EXPECT_EQ(run["returned"], "66");
  EXPECT_EQ(run["frames"], "32");
  EXPECT_EQ(run["getMessageCalls"], "12");
}

TEST(Input, ACloseFromOutsideEndsThroughDestroyAndStillWipes) {
  const IsolatedRun run = runSaver("/s", [] { win32::headless::scriptCloseRequest(4); });
  EXPECT_EQ(run["returned"], "0");
  EXPECT_EQ(run["swaps"], "24");
  // The software board presents into the window, which is gone from frame 4.
  EXPECT_EQ(run["frames"], "3");
  EXPECT_EQ(run["shutdown"], "1");
  EXPECT_EQ(run["window"], "0");
}

TEST(FatalErrors, EachFailedStepHasItsMessageAndExitCode) {
  const std::string fatalPrefix = "Lumvane - Fatal Error|";
  const std::string fatalSuffix = "\r\n|" + std::to_string(MB_SYSTEMMODAL) + "|none";

  const IsolatedRun noDisplay = runIsolated([] {
    prepareHeadless(0, 0);
    char tail[] = "/s";
    WinMain(nullptr, nullptr, tail, SW_SHOWDEFAULT);
  });
  EXPECT_EQ(noDisplay.exitCode, 0);
  EXPECT_NE(noDisplay.errorOutput.find("Lumvane - Fatal Error: Could not initialize window\r\n"), std::string::npos);

  const IsolatedRun twice = runIsolated([] {
    prepareHeadless();
    char tail[] = "/S";
    WinMain(nullptr, reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000}), tail, SW_SHOWDEFAULT);
  });
  EXPECT_EQ(twice.exitCode, 0);
  EXPECT_NE(twice.errorOutput.find("Application may only run once\r\n"), std::string::npos);

  // A refused scene allocation leaves Glide open: no shutdown after the box.
  for (int refused = 1; refused <= 3; ++refused) {
    const IsolatedRun scene = runIsolated([refused] {
      prepareHeadless();
      heapTesting::refuseAllocation(refused);
      std::atexit([] {
        reportFact("shutdown", !callsNamed("grGlideShutdown").empty());
        reportFact("box", win32::headless::messageBoxes().at(0).caption + "|" +
                              win32::headless::messageBoxes().at(0).text + "|" +
                              std::to_string(win32::headless::messageBoxes().at(0).type) + "|none");
      });
      char tail[] = "/s";
      WinMain(nullptr, nullptr, tail, SW_SHOWDEFAULT);
    });
    EXPECT_EQ(scene.exitCode, 0) << refused;
    EXPECT_EQ(scene["shutdown"], "0") << refused;
    EXPECT_EQ(scene["box"], fatalPrefix + "Could not initialize demo structures" + fatalSuffix) << refused;
  }
}

// A message longer than the 256-byte box buffer holds is cut to 253
// characters, so that the line end and the terminating zero still fit,
// instead of being written past the buffer.
TEST(FatalErrors, ALongMessageIsCutNotOverrun) {
  const IsolatedRun run = runIsolated([] {
    prepareHeadless();
    std::atexit([] { reportFact("box", win32::headless::messageBoxes().at(0).text); });
    fatalError("%s and %d", std::string(400, 'x').c_str(), 7);
  });
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run["box"], std::string(253, 'x') + "\r\n");
}

TEST(FatalErrors, GlideAssertionsEndWithCode255) {
  const IsolatedRun noBoard = runIsolated([] {
    prepareHeadless();
    setenv("FX_GLIDE_NO_BOARD", "1", 1);
    char tail[] = "/s";
    WinMain(nullptr, nullptr, tail, SW_SHOWDEFAULT);
  });
  EXPECT_EQ(noBoard.exitCode, 255);
  EXPECT_NE(noBoard.errorOutput.find("Assertion Failed!: grSstQueryHardware( &hwconfig ), file glidesystem.cpp, "
                                     "line 23\n"),
            std::string::npos)
      << noBoard.errorOutput;
  EXPECT_NE(noBoard.errorOutput.find("ABNORMAL TERMINATION\r\n"), std::string::npos);
  EXPECT_EQ(noBoard.errorOutput.find("Could not initialize Glide"), std::string::npos);

  const IsolatedRun noScreen = runIsolated([] {
    prepareHeadless();
    softglide::setScreenAvailable(false);
    char tail[] = "/s";
    WinMain(nullptr, nullptr, tail, SW_SHOWDEFAULT);
  });
  EXPECT_EQ(noScreen.exitCode, 255);
  EXPECT_NE(noScreen.errorOutput.find("Assertion Failed!: grSstWinOpen( 0, resolution, GR_REFRESH_60Hz, "
                                      "GR_COLORFORMAT_ABGR, GR_ORIGIN_LOWER_LEFT, 2, 1 ), file glidesystem.cpp, "
                                      "line 32\n"),
            std::string::npos)
      << noScreen.errorOutput;
}

// The report's 128-byte buffer holds 127 characters: a longer text is cut
// there and loses its line feed. With a 100-character expression the text
// would be 100 + ", file glidesystem.cpp, line 99\n" (32) = 132 characters;
// the cut keeps 27 of those 32: ", file glidesystem.cpp, lin". The box's
// stand-in on standard error adds one line feed of its own, so "lin" is
// followed by exactly one before the runtime's last words.
TEST(FatalErrors, ALongAssertionTextIsCutAndLosesItsLineFeed) {
  const IsolatedRun run = runIsolated([] {
    prepareHeadless();
    assertionReport(std::string(100, 'e').c_str(), "glidesystem.cpp", 99);
  });
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_NE(run.errorOutput.find("Assertion Failed!: " + std::string(100, 'e') +
                                 ", file glidesystem.cpp, lin\nABNORMAL TERMINATION\r\n"),
            std::string::npos)
      << run.errorOutput;
}

TEST(Window, ClassAndWindowAsTheSaverMakesThem) {
  const IsolatedRun run = runIsolated([] {
    prepareHeadless(800, 600);
    reportFact("created", createScreenWindow());
    RECT client{};
    GetClientRect(screenWindow, &client);
    reportFact("size", std::to_string(client.right) + "x" + std::to_string(client.bottom));
    reportFact("visible", IsWindowVisible(screenWindow));
    reportFact("again", registerScreenClass());  // the class exists already
    reportFact("cursor", win32::headless::cursorVisible());
  });
  EXPECT_EQ(run["created"], "1");
  EXPECT_EQ(run["size"], "800x600");
  EXPECT_EQ(run["visible"], "1");
  EXPECT_EQ(run["again"], "0");
  EXPECT_EQ(run["cursor"], "0");
}

}  // namespace
