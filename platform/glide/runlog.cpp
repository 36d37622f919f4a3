// The call trace file and the frame log: buffered text files written as the
// run goes, flushed at shutdown and at exit, so a killed run leaves a
// readable prefix.
#include "runlog.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

// In a browser page the frame log is the page's: each line, without its line
// feed, is appended to the array window.lumvaneFrames.
EM_JS(void, softglide_page_frame_line, (const char* line), {
  if (typeof window !== 'undefined') {
    (window.lumvaneFrames = window.lumvaneFrames || []).push(UTF8ToString(line));
  }
});
#endif

namespace softglide {

int formatHexFloat(double value, char* out) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  char* p = out;
  if (biased == 0x7FF) {
    if (fraction != 0) {
      std::memcpy(p, negative ? "-nan" : "nan", negative ? 5 : 4);
      return negative ? 4 : 3;
    }
    std::memcpy(p, negative ? "-inf" : "inf", negative ? 5 : 4);
    return negative ? 4 : 3;
  }
  if (negative) {
    *p++ = '-';
  }
  // Normal numbers lead with 1, zero and subnormals with 0 at exponent -1022.
  const bool normal = biased != 0;
  const int exponent = biased == 0 ? (fraction == 0 ? 0 : -1022) : biased - 1023;
  *p++ = '0';
  *p++ = 'x';
  *p++ = normal ? '1' : '0';
  if (fraction != 0) {
    *p++ = '.';
    int digits = 13;
    while ((fraction & 0xF) == 0) {
      fraction >>= 4;
      --digits;
    }
    for (int i = digits - 1; i >= 0; --i) {
      p[i] = "0123456789abcdef"[fraction & 0xF];
      fraction >>= 4;
    }
    p += digits;
  }
  *p++ = 'p';
  *p++ = exponent < 0 ? '-' : '+';
  p += std::snprintf(p, 6, "%d", exponent < 0 ? -exponent : exponent);
  return static_cast<int>(p - out);
}

std::uint64_t frameHash(const std::uint16_t* pixels, std::size_t count) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  constexpr std::uint64_t prime = 0x100000001b3u;
  for (std::size_t i = 0; i < count; ++i) {
    hash = (hash ^ (pixels[i] & 0xFFu)) * prime;
    hash = (hash ^ (pixels[i] >> 8)) * prime;
  }
  return hash;
}

namespace detail {

bool traceFileOn = false;

namespace {

std::FILE* traceFile = nullptr;
std::FILE* frameFile = nullptr;
bool framesToPage = false;
bool logsOpened = false;

// A path from the environment, opened for writing; a path that cannot be
// written is reported on standard error and the run goes on without it.
[[maybe_unused]] std::FILE* openLog(const char* variable) {
  const char* path = std::getenv(variable);
  if (path == nullptr || path[0] == '\0') {
    return nullptr;
  }
  // Binary, so that lines end in a line feed alone on every system.
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "softglide: cannot write %s=%s; going on without it\n", variable, path);
    return nullptr;
  }
  std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
  return file;
}

void writeNumber(double value) {
  char text[32];
  text[0] = ' ';
  const int length = formatHexFloat(value, text + 1);
  std::fwrite(text, 1, static_cast<std::size_t>(length) + 1, traceFile);
}

void writeVertex(const GrVertex* vertex) {
  if (vertex == nullptr) {
    std::fputs(" null", traceFile);
    return;
  }
  for (const float value : {vertex->x, vertex->y, vertex->r, vertex->g, vertex->b, vertex->a, vertex->oow}) {
    writeNumber(value);
  }
}

}  // namespace

// Once per process: a program that opens Glide again writes on in the same
// files.
void openRunLogs() {
  if (logsOpened) {
    return;
  }
  logsOpened = true;
#ifdef __EMSCRIPTEN__
  // A page's files live in its memory, where a call trace (megabytes a
  // second) would only grow until the page runs out of it.
  const char* trace = std::getenv("SOFTGLIDE_TRACE");
  if (trace != nullptr && trace[0] != '\0') {
    std::fprintf(stderr, "softglide: SOFTGLIDE_TRACE is not written in a browser page; going on without it\n");
  }
  const char* frames = std::getenv("SOFTGLIDE_FRAMES");
  framesToPage = frames != nullptr && frames[0] != '\0';
#else
  traceFile = openLog("SOFTGLIDE_TRACE");
  frameFile = openLog("SOFTGLIDE_FRAMES");
#endif
  traceFileOn = traceFile != nullptr;
  if (traceFile != nullptr || frameFile != nullptr) {
    std::atexit(flushRunLogs);
  }
}

void flushRunLogs() {
  if (traceFile != nullptr) {
    std::fflush(traceFile);
  }
  if (frameFile != nullptr) {
    std::fflush(frameFile);
  }
}

void traceFileLine(const char* name, std::initializer_list<double> arguments) {
  std::fputs(name, traceFile);
  for (const double value : arguments) {
    writeNumber(value);
  }
  std::fputc('\n', traceFile);
}

void traceFileLine(const char* name, std::initializer_list<const GrVertex*> vertices) {
  std::fputs(name, traceFile);
  for (const GrVertex* vertex : vertices) {
    writeVertex(vertex);
  }
  std::fputc('\n', traceFile);
}

void traceFileLine(const char* name, const std::uint8_t* entries, std::size_t count) {
  std::fputs(name, traceFile);
  for (std::size_t i = 0; i < count; ++i) {
    writeNumber(entries[i]);
  }
  std::fputc('\n', traceFile);
}

void logFrame(int swap, const std::uint16_t* front, std::size_t count) {
  if (frameFile == nullptr && !framesToPage) {
    return;
  }
  // Formatted here rather than by printf, whose 64-bit conversions differ
  // between C libraries.
  char line[40];
  int length = std::snprintf(line, 24, "%d ", swap);
  std::uint64_t hash = frameHash(front, count);
  for (int i = 15; i >= 0; --i) {
    line[length + i] = "0123456789abcdef"[hash & 0xF];
    hash >>= 4;
  }
#ifdef __EMSCRIPTEN__
  if (framesToPage) {
    line[length + 16] = '\0';
    softglide_page_frame_line(line);
    return;
  }
#endif
  line[length + 16] = '\n';
  std::fwrite(line, 1, static_cast<std::size_t>(length) + 17, frameFile);
  if (swap % 60 == 0) {
    std::fflush(frameFile);
  }
}

}  // namespace detail
}  // namespace softglide
