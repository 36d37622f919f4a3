// The options that XScreenSaver and xsecurelock give a screen-saver hack,
// read once at start-up.
#include "options.h"

#include <stdlib.h>

namespace hack {
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

Options parseOptions(const std::vector<std::string>& arguments, const char* environmentWindow) {
  Options options;
  bool root = false;
  bool ownWindow = false;
  std::string windowId;
  bool windowIdGiven = false;
  std::string stranger;
  bool scaleGiven = false;
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
    } else if (isOption(argument, "scale")) {
      options.hack = true;
      if (i + 1 == arguments.size()) {
        options.error = "--scale needs a mode (aspect, integer or fill)";
        return options;
      }
      scaleGiven = true;
      options.scale = arguments[++i];
    } else if (stranger.empty()) {
      stranger = argument;
    }
  }
  options.hack = root || ownWindow || windowIdGiven || scaleGiven;
  if (!options.hack) {
    return options;  // not started as a hack: the command line stands as it is
  }
  if (!stranger.empty()) {
    options.error = "unknown option '" + stranger + "'";
    return options;
  }
  if (scaleGiven && options.scale != "aspect" && options.scale != "integer" && options.scale != "fill") {
    options.error = "'" + options.scale + "' is not a scale (aspect, integer or fill)";
    return options;
  }
  if (ownWindow && (root || windowIdGiven)) {
    options.error = "--window cannot go with --root or --window-id";
  } else if (windowIdGiven) {
    options.target = Options::Target::window;
    if (!parseWindowId(windowId, options.window)) {
      options.error = "'" + windowId + "' is not a window id (0x... or decimal)";
    }
  } else if (root && environmentWindow != nullptr && *environmentWindow != '\0') {
    options.target = Options::Target::window;
    if (!parseWindowId(environmentWindow, options.window)) {
      options.error = std::string("XSCREENSAVER_WINDOW='") + environmentWindow + "' is not a window id";
    }
  } else {
    options.target = root ? Options::Target::root : Options::Target::ownWindow;
  }
  return options;
}

void passToBoard(const Options& options) {
  if (!options.scale.empty()) {
    setenv("SOFTGLIDE_SCALE", options.scale.c_str(), 1);
  }
}

}  // namespace hack
