// The two run logs that the environment switches on: SOFTGLIDE_TRACE, every
// Glide call as text (trace.h writes it), and SOFTGLIDE_FRAMES, one hash of
// the front buffer per swap. Both are written the same way on every target,
// so runs on different systems (and independent models of the saver) can be
// compared line by line. Where they go is the build's choice: files
// (runlog_files.cpp), or in a browser page the page (runlog_page.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace softglide::detail {

// Opens the logs the environment asks for, at the first grGlideInit of the
// process; later ones go on writing in the same files.
void openRunLogs();
// Writes out what the logs hold so far (at shutdown; also at exit).
void flushRunLogs();

// The call trace's file, or null while there is none; after each line
// written to it, traceLineWritten checks that it went out.
std::FILE* traceFile();
void traceLineWritten();

// After swap number `swap` (from 1): logs the new front buffer's hash.
void logFrame(int swap, const std::uint16_t* front, std::size_t count);

// The sink's side of the frame log: whether it is on, and one line, "N HASH"
// and a line feed.
bool frameLogOn();
void writeFrameLine(const char* line, std::size_t length, int swap);

// A file opened for writing, truncated, for a log; null with the reason in
// problem when it cannot be. The system's: logfile_posix.cpp, logfile_windows.cpp.
std::FILE* openLogFile(const char* path, std::string& problem);

}  // namespace softglide::detail
