// Hack mode: the process arguments that XScreenSaver and xsecurelock give a
// screen saver, the X window they name, and ending on their SIGTERM.
#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "win32/display.h"

namespace win32 {
namespace {

bool isOption(const std::string& argument, const char* name) {
  // XScreenSaver's hacks take their options with one dash or two.
  return argument == std::string("-") + name || argument == std::string("--") + name;
}

// Hexadecimal with 0x (as XScreenSaver writes it) or decimal (as xsecurelock
// does); nothing else, not even blanks or a sign. X resource ids are 32 bits.
bool parseWindowId(const std::string& text, std::uint32_t& id) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty() || digits.size() > 10) {
    return false;
  }
  std::uint64_t value = 0;
  for (const char c : digits) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) {
      return false;
    }
    value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
  }
  if (value == 0 || value > 0xFFFFFFFFu) {
    return false;
  }
  id = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace

HackOptions parseHackOptions(const std::vector<std::string>& arguments, const char* environmentWindow) {
  HackOptions options;
  bool root = false;
  bool ownWindow = false;
  std::string windowId;
  bool windowIdGiven = false;
  std::string stranger;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (isOption(argument, "root")) {
      root = true;
    } else if (isOption(argument, "window")) {
      ownWindow = true;
    } else if (isOption(argument, "window-id")) {
      options.hack = true;
      if (i + 1 == arguments.size()) {
        options.error = "--window-id needs a window id";
        return options;
      }
      windowIdGiven = true;
      windowId = arguments[++i];
    } else if (stranger.empty()) {
      stranger = argument;
    }
  }
  options.hack = root || ownWindow || windowIdGiven;
  if (!options.hack) {
    return options;  // not started as a hack: the command line stands as it is
  }
  if (!stranger.empty()) {
    options.error = "unknown option '" + stranger + "'";
    return options;
  }
  if (ownWindow && (root || windowIdGiven)) {
    options.error = "--window cannot go with --root or --window-id";
  } else if (windowIdGiven) {
    options.target = HackOptions::Target::window;
    if (!parseWindowId(windowId, options.window)) {
      options.error = "'" + windowId + "' is not a window id (0x... or decimal)";
    }
  } else if (root && environmentWindow != nullptr && *environmentWindow != '\0') {
    options.target = HackOptions::Target::window;
    if (!parseWindowId(environmentWindow, options.window)) {
      options.error = std::string("XSCREENSAVER_WINDOW='") + environmentWindow + "' is not a window id";
    }
  } else {
    options.target = root ? HackOptions::Target::root : HackOptions::Target::ownWindow;
  }
  return options;
}

}  // namespace win32

namespace win32::detail {
namespace {

std::uint32_t adoptedWindow = 0;
bool windowMissing = false;

[[noreturn]] void failStart(const std::string& message) {
  std::fprintf(stderr, "lumvane: %s\n", message.c_str());
  std::fflush(nullptr);
  std::_Exit(1);
}

int noteMissingWindow(::Display*, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable) {
    windowMissing = true;
  }
  return 0;
}

// Once drawing has begun, an error about the adopted window means that the
// daemon has destroyed it: nothing is left to draw on. Other errors (a
// request the daemon's own selection refuses, say) change nothing here.
int endWhenWindowIsGone(::Display*, XErrorEvent* error) {
  if ((error->error_code == BadWindow || error->error_code == BadDrawable) && error->resourceid == adoptedWindow) {
    const char message[] = "lumvane: the window to draw in is gone\n";
    (void)!write(STDERR_FILENO, message, sizeof message - 1);
    std::_Exit(1);
  }
  return 0;
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

// The window (0: the root window) checked on a connection of its own, so a
// bad id is one line on standard error rather than Xlib's report and exit.
std::uint32_t checkedWindow(std::uint32_t window) {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    failStart("cannot open the X display: DISPLAY is not set");
  }
  const std::string displayName = name;
  ::Display* connection = XOpenDisplay(nullptr);
  if (connection == nullptr) {
    failStart("cannot open the X display '" + displayName + "'");
  }
  if (window == 0) {
    window = static_cast<std::uint32_t>(DefaultRootWindow(connection));
  }
  windowMissing = false;
  const auto previous = XSetErrorHandler(noteMissingWindow);
  XWindowAttributes attributes{};
  const Status found = XGetWindowAttributes(connection, window, &attributes);
  XSync(connection, False);
  XSetErrorHandler(previous);
  const int windowClass = attributes.c_class;
  XCloseDisplay(connection);
  char id[16];
  std::snprintf(id, sizeof id, "0x%x", window);
  if (found == 0 || windowMissing) {
    failStart(std::string("there is no window ") + id + " on the X display '" + displayName + "'");
  }
  if (windowClass != InputOutput) {
    failStart(std::string("the window ") + id + " cannot be drawn in (it is input-only)");
  }
  return window;
}

}  // namespace

std::vector<std::string> startFromArguments(const std::vector<std::string>& arguments) {
  const std::vector<std::string> options(arguments.empty() ? arguments.begin() : arguments.begin() + 1,
                                         arguments.end());
  const HackOptions hack = parseHackOptions(options, std::getenv("XSCREENSAVER_WINDOW"));
  if (!hack.hack) {
    return arguments;
  }
  if (!hack.error.empty()) {
    failStart(hack.error);
  }
  const std::string program = arguments.empty() ? "lumvane" : arguments.front();
  if (hack.target != HackOptions::Target::ownWindow) {
    endOnStopSignals();
    selectHackWindow(checkedWindow(hack.target == HackOptions::Target::root ? 0 : hack.window));
  }
  return {program, "/s"};
}

void adoptingWindow(std::uint32_t window) {
  adoptedWindow = window;
  XSetErrorHandler(endWhenWindowIsGone);
}

// The daemon owns the keyboard and the pointer: of the window's events this
// connection takes only its changes of size and its exposures.
void keepInputAway(void* connection, std::uint32_t window) {
  XSelectInput(static_cast<::Display*>(connection), window, StructureNotifyMask | ExposureMask);
}

}  // namespace win32::detail
