// The process-wide settings of a program on the Win32 subset: each program's
// main makes them, in one visible place, first thing; linking the layer sets
// nothing.
#pragma once

namespace win32 {

// Opens each standard descriptor (0, 1, 2) that the process was started
// with closed on /dev/null, so that nothing opened later (the X connection,
// a log file) takes its number and receives what is meant for standard
// error. Returns which were closed: bit n for descriptor n. A start-up's
// first call, before anything else opens a file.
unsigned openClosedStandardDescriptors();

// A write to a pipe nobody reads fails, as on Windows, rather than raising
// SIGPIPE and ending the process (a diagnostic written to a closed standard
// error, say); memory that runs out is std::bad_alloc for the start-up to
// say, or, when not even the exception can be had, one line on standard
// error ("PROGRAM: out of memory") and exit code 1, never an abort. Called
// beside openClosedStandardDescriptors.
void applyProcessSettings();

}  // namespace win32
