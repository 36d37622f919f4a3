// The run logs as files: buffered, written as the run goes, the frame log
// flushed every 60 swaps, both flushed at shutdown and at exit, so that a
// killed run leaves a readable beginning. A log that cannot be opened, or
// whose write fails (a full disk, a file that takes no writes), is reported
// once on standard error and stops there; the run goes on without it.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runlog.h"
#include "softglide.h"

namespace softglide::detail {
namespace {

struct Log {
  const char* variable;
  std::FILE* file = nullptr;
  bool whole = true;  // asked for, opened and written without a failure so far
};

Log traceLog{"SOFTGLIDE_TRACE"};
Log frameLog{"SOFTGLIDE_FRAMES"};
bool logsOpened = false;

// A path from the environment, opened for writing.
void open(Log& log) {
  const char* path = std::getenv(log.variable);
  if (path == nullptr || path[0] == '\0') {
    return;
  }
  std::string problem;
  log.file = openLogFile(path, problem);
  if (log.file == nullptr) {
    std::fprintf(stderr, "softglide: cannot write %s=%s (%s); going on without it\n", log.variable, path,
                 problem.c_str());
    log.whole = false;
    return;
  }
  std::setvbuf(log.file, nullptr, _IOFBF, 1 << 16);
}

// After a write or a flush: a failure stops the log, said once.
void check(Log& log, bool failed) {
  if (!failed && std::ferror(log.file) == 0) {
    return;
  }
  const int error = errno;
  std::fprintf(stderr, "softglide: cannot write %s=%s (%s); the log stops here\n", log.variable,
               std::getenv(log.variable), error != 0 ? std::strerror(error) : "a write failed");
  std::fclose(log.file);
  log.file = nullptr;
  log.whole = false;
}

void flush(Log& log) {
  if (log.file != nullptr) {
    errno = 0;
    check(log, std::fflush(log.file) != 0);
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
  open(traceLog);
  open(frameLog);
  if (traceLog.file != nullptr || frameLog.file != nullptr) {
    std::atexit(flushRunLogs);
  }
}

void flushRunLogs() {
  flush(traceLog);
  flush(frameLog);
}

std::FILE* traceFile() {
  return traceLog.file;
}

// errno still holds what the failed write left, if a write of the line
// failed: nothing was called in between.
void traceLineWritten() {
  if (traceLog.file != nullptr) {
    check(traceLog, false);
  }
}

bool frameLogOn() {
  return frameLog.file != nullptr;
}

void writeFrameLine(const char* line, std::size_t length, int swap) {
  errno = 0;
  const bool failed = std::fwrite(line, 1, length, frameLog.file) != length;
  check(frameLog, failed);
  if (frameLog.file != nullptr && swap % 60 == 0) {
    flush(frameLog);
  }
}

}  // namespace softglide::detail

bool softglide::runLogsWhole() {
  return detail::traceLog.whole && detail::frameLog.whole;
}
