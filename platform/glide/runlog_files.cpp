// The run logs as files: buffered, written as the run goes, the frame log
// flushed every 60 swaps, both flushed at shutdown and at exit, so that a
// killed run leaves a readable beginning.
#include <cstdlib>

#include "runlog.h"

namespace softglide::detail {
namespace {

std::FILE* traceLog = nullptr;
std::FILE* frameLog = nullptr;
bool logsOpened = false;

// A path from the environment, opened for writing; a path that cannot be
// written is reported on standard error and the run goes on without it.
std::FILE* openLog(const char* variable) {
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

}  // namespace

// Once per process: a program that opens Glide again writes on in the same
// files.
void openRunLogs() {
  if (logsOpened) {
    return;
  }
  logsOpened = true;
  traceLog = openLog("SOFTGLIDE_TRACE");
  frameLog = openLog("SOFTGLIDE_FRAMES");
  if (traceLog != nullptr || frameLog != nullptr) {
    std::atexit(flushRunLogs);
  }
}

void flushRunLogs() {
  if (traceLog != nullptr) {
    std::fflush(traceLog);
  }
  if (frameLog != nullptr) {
    std::fflush(frameLog);
  }
}

std::FILE* traceFile() {
  return traceLog;
}

bool frameLogOn() {
  return frameLog != nullptr;
}

void writeFrameLine(const char* line, std::size_t length, int swap) {
  std::fwrite(line, 1, length, frameLog);
  if (swap % 60 == 0) {
    std::fflush(frameLog);
  }
}

}  // namespace softglide::detail
