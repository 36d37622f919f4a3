// The options that XScreenSaver and xsecurelock give a screen-saver hack,
// read once at start-up.
#include "options.h"

#include <stdlib.h>

#include "softglide.h"

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

// An option that sets one of the board's switches: its value is judged by
// the board's own grammar for that switch, so that the hack takes exactly
// what the board would.
struct BoardOption {
  const char* name;      // without dashes
  const char* variable;  // the switch it sets
  const char* needs;     // what the missing value is
  const char* kind;      // what a value is
  const char* values;    // the values it takes
  bool (*accepts)(const char* text);
  std::string Options::*value;
};

const BoardOption boardOptions[] = {
    {"scale", "SOFTGLIDE_SCALE", "a mode", "a scale", "aspect, integer or fill",
     [](const char* text) { return softglide::parseScale(text).has_value(); }, &Options::scale},
    {"resolution", "SOFTGLIDE_RESOLUTION", "a resolution", "a resolution", "640x480, 2x to 8x or native",
     [](const char* text) { return softglide::parseResolution(text).has_value(); }, &Options::resolution},
};

const BoardOption* boardOptionNamed(const std::string& argument) {
  for (const BoardOption& option : boardOptions) {
    if (isOption(argument, option.name)) {
      return &option;
    }
  }
  return nullptr;
}

// The target the options and the daemon's window choose, once the
// arguments themselves were found good.
void chooseTarget(Options& options, bool root, bool ownWindow, bool windowIdGiven, const char* environmentWindow) {
  if (ownWindow && (root || windowIdGiven)) {
    options.error = "--window cannot go with --root or --window-id";
  } else if (windowIdGiven) {
    options.target = Options::Target::window;
  } else if (root && environmentWindow != nullptr && *environmentWindow != '\0') {
    options.target = Options::Target::window;
    if (!parseWindowId(environmentWindow, options.window)) {
      options.error = std::string("XSCREENSAVER_WINDOW='") + environmentWindow + "' is not a window id";
    }
  } else {
    options.target = root ? Options::Target::root : Options::Target::ownWindow;
  }
}

}  // namespace

Options parseOptions(const std::vector<std::string>& arguments, const char* environmentWindow) {
  Options options;
  bool root = false;
  bool ownWindow = false;
  bool windowIdGiven = false;
  bool boardOptionGiven = false;
  // The first thing wrong, in the order given: a bad value is reported
  // wherever it stands, even when a good one follows it.
  std::string problem;
  const auto note = [&problem](const std::string& text) {
    if (problem.empty()) problem = text;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const BoardOption* boardOption = boardOptionNamed(argument);
    if (isOption(argument, "root")) {
      root = true;
    } else if (isOption(argument, "window")) {
      ownWindow = true;
    } else if (isOption(argument, "window-id")) {
      windowIdGiven = true;
      if (i + 1 == arguments.size()) {
        note("--window-id needs a window id");
      } else if (const std::string& id = arguments[++i]; !parseWindowId(id, options.window)) {
        note("'" + id + "' is not a window id (0x... or decimal)");
      }
    } else if (boardOption != nullptr) {
      boardOptionGiven = true;
      const std::string values = std::string(" (") + boardOption->values + ")";
      if (i + 1 == arguments.size()) {
        note("--" + std::string(boardOption->name) + " needs " + boardOption->needs + values);
      } else if (const std::string& value = arguments[++i]; !boardOption->accepts(value.c_str())) {
        note("'" + value + "' is not " + boardOption->kind + values);
      } else {
        options.*(boardOption->value) = value;
      }
    } else {
      note("unknown option '" + argument + "'");
    }
  }
  options.hack = root || ownWindow || windowIdGiven || boardOptionGiven;
  if (!options.hack) {
    return options;  // not started as a hack: the command line stands as it is
  }
  if (!problem.empty()) {
    options.error = problem;
    return options;
  }
  chooseTarget(options, root, ownWindow, windowIdGiven, environmentWindow);
  return options;
}

void passToBoard(const Options& options) {
  for (const BoardOption& option : boardOptions) {
    const std::string& value = options.*(option.value);
    if (!value.empty()) {
      setenv(option.variable, value.c_str(), 1);
    }
  }
}

}  // namespace hack
