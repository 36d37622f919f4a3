// The fatal error report of a failed start-up step.
#pragma once

// Shows the formatted message, followed by a line end, in a system-modal box
// captioned "Lumvane - Fatal Error", then ends the process with exit code 0.
// Nothing set up before is undone.
[[noreturn]] void fatalError(const char* format, ...);
