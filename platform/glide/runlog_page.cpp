// The run logs in a browser page: the frame log is the page's, each line
// (without its line feed) appended to the array window.lumvaneFrames; the
// call trace is not written, since a page's files live in its memory, where
// a trace (megabytes a second) would only grow until the page runs out.
#include <emscripten.h>

#include <cstdlib>
#include <string>

#include "runlog.h"
#include "softglide.h"

EM_JS(void, softglide_page_frame_line, (const char* line), {
  if (typeof window !== 'undefined') {
    (window.lumvaneFrames = window.lumvaneFrames || []).push(UTF8ToString(line));
  }
});

namespace softglide::detail {
namespace {

bool framesToPage = false;
bool logsOpened = false;

bool asked(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

void openRunLogs() {
  if (logsOpened) {
    return;
  }
  logsOpened = true;
  if (asked("SOFTGLIDE_TRACE")) {
    std::fprintf(stderr, "softglide: SOFTGLIDE_TRACE is not written in a browser page; going on without it\n");
  }
  framesToPage = asked("SOFTGLIDE_FRAMES");
}

void flushRunLogs() {}

std::FILE* traceFile() {
  return nullptr;
}

void traceLineWritten() {}

bool frameLogOn() {
  return framesToPage;
}

void writeFrameLine(const char* line, std::size_t length, int) {
  softglide_page_frame_line(std::string(line, length - 1).c_str());
}

}  // namespace softglide::detail

bool softglide::runLogsWhole() {
  return true;
}
