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
// --scale MODE (aspect, integer or fill: how the picture fills the window;
// alone it runs the hack in a window of its own, the last one given
// counts). Options take one dash or two; any other argument beside them is
// an error.
struct Options {
  enum class Target { ownWindow, window, root };
  bool hack = false;  // false: no hack option, the command line stands
  Target target = Target::ownWindow;
  std::uint32_t window = 0;  // for Target::window
  std::string scale;         // the --scale mode, or empty when none was given
  std::string error;         // when not empty, one line saying what is wrong
};

Options parseOptions(const std::vector<std::string>& arguments, const char* environmentWindow);

// Hands the options the software Glide board reads on to it: --scale as
// SOFTGLIDE_SCALE (which stays as the environment has it when no --scale
// was given). Called once, before the saver starts.
void passToBoard(const Options& options);

}  // namespace hack
