// The options of a screen-saver hack: what XScreenSaver and xsecurelock put
// on the command line (and in XSCREENSAVER_WINDOW) to say where to draw.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hack {

// What the arguments after the program name ask for: --root or -root (the
// window in XSCREENSAVER_WINDOW, or else the root window), --window-id ID
// (ID in hexadecimal with 0x, or decimal), --window (a window of its own),
// --scale MODE (how the picture fills the window) and --resolution R (the
// grid the board draws on), each read by the board's own grammar for its
// switch. --scale and --resolution alone run the hack in a window of its
// own; of each option given twice the last counts, but every value given
// must be good. Options take one dash or two; any other argument beside
// them is an error.
struct Options {
  enum class Target { ownWindow, window, root };
  bool hack = false;  // false: no hack option, the command line stands
  Target target = Target::ownWindow;
  std::uint32_t window = 0;  // for Target::window
  std::string scale;         // the --scale mode as given, or empty when none was
  std::string resolution;    // the --resolution as given, or empty when none was
  std::string error;         // when not empty, one line on the first thing wrong
};

Options parseOptions(const std::vector<std::string>& arguments, const char* environmentWindow);

// Hands the options the software Glide board reads on to it: --scale as
// SOFTGLIDE_SCALE and --resolution as SOFTGLIDE_RESOLUTION (each stays as
// the environment has it when its option was not given). Called once,
// before the saver starts.
void passToBoard(const Options& options);

}  // namespace hack
