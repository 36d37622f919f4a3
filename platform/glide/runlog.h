// The two run logs that the environment switches on: SOFTGLIDE_TRACE, every
// Glide call as text, and SOFTGLIDE_FRAMES, one hash of the front buffer per
// swap. Both are written the same way on every target, so runs on different
// systems (and independent models of the saver) can be compared line by line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "device/glide.h"

namespace softglide {

// Writes value as C's "%a" does on glibc ("0x1.8p+1", "-0x0p+0", "inf",
// "nan"), whatever the C library: at most 24 characters and a zero byte.
// Returns the length written.
int formatHexFloat(double value, char* out);

// The 64-bit FNV-1a hash of 5-6-5 words taken as little-endian bytes.
std::uint64_t frameHash(const std::uint16_t* pixels, std::size_t count);

namespace detail {

// Opens the logs the environment asks for, at the first grGlideInit of the
// process; later ones go on writing in the same files.
void openRunLogs();
// Writes out what the logs hold so far (at shutdown; also at exit).
void flushRunLogs();

// The call trace file is open.
extern bool traceFileOn;
void traceFileLine(const char* name, std::initializer_list<double> arguments);
void traceFileLine(const char* name, std::initializer_list<const GrVertex*> vertices);
void traceFileLine(const char* name, const std::uint8_t* entries, std::size_t count);

// After swap number `swap` (from 1): logs the new front buffer's hash.
void logFrame(int swap, const std::uint16_t* front, std::size_t count);

}  // namespace detail
}  // namespace softglide
