// The Linux start-up of lumvane. Serves the saver run by hand ("/s" and the
// other command lines, in a full-screen SDL2 window) and run as a hack by
// XScreenSaver or xsecurelock (--root, --window-id, XSCREENSAVER_WINDOW, in
// the daemon's window). Needs the SDL display (platform/sdl). As a hack it
// reads no input and shows no message box: the daemon owns the screen. The
// options are read here once, as XScreenSaver's own hacks read theirs in
// main, so that the saver never knows where its window came from: it always
// sees "/s".
#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "app/startup.h"
#include "options.h"
#include "win32/display.h"
#include "win32/process.h"
#include "win32/sdl.h"

namespace {

[[noreturn]] void failStart(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, message.c_str());
  std::fflush(nullptr);
  std::_Exit(1);
}

// The daemon takes its window away before it stops a hack, so there is
// nothing to wipe or tidy up: the process ends at once, as a success.
void endAtOnce(int) {
  _exit(0);
}

void endOnStopSignals() {
  struct sigaction action = {};
  action.sa_handler = endAtOnce;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

// The start-up proper: the options, the display they choose, the saver.
[[noreturn]] void start(int argc, char** argv) {
  const std::vector<std::string> arguments(argv, argv + argc);
  const std::vector<std::string> options(arguments.empty() ? arguments.end() : arguments.begin() + 1,
                                         arguments.end());
  const hack::Options given = hack::parseOptions(options, std::getenv("XSCREENSAVER_WINDOW"));
  if (!given.hack) {
    // Run by hand: the saver judges its command line itself.
    win32::useSdlDisplay();
    win32::setCommandLine(arguments);
    startProcess();
  }
  if (!given.error.empty()) {
    failStart(given.error);
  }
  hack::passToBoard(given);
  if (given.target == hack::Options::Target::ownWindow) {
    win32::useSdlDisplay();
  } else {
    endOnStopSignals();
    const std::uint32_t window = given.target == hack::Options::Target::root ? 0 : given.window;
    const std::string problem = win32::useSdlDisplayInWindow(window);
    if (!problem.empty()) {
      failStart(problem);
    }
  }
  win32::setCommandLine({arguments.front(), "/s"});
  startProcess();
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything can take their numbers: a diagnostic must never land in
  // the X connection or a log file.
  win32::openClosedStandardDescriptors();
  win32::applyProcessSettings();
  // Memory that cannot be had where nothing else expects it is a failure
  // said in one line, never an abort.
  try {
    start(argc, argv);
  } catch (const std::bad_alloc&) {
    failStart("out of memory");
  }
}
