// Process start-up: the command-line tail is ours to build, not a runtime's,
// so that every target reads the same tail from the same command line.
#include "app/startup.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

char* commandLineTail(char* commandLine) {
  char* cursor = commandLine;
  if (*cursor == '"') {
    ++cursor;
    while (*cursor != '\0' && *cursor != '"') {
      ++cursor;
    }
    if (*cursor == '"') {
      ++cursor;
    }
  } else {
    while (*cursor != '\0' && !isBlank(*cursor)) {
      ++cursor;
    }
  }
  while (isBlank(*cursor)) {
    ++cursor;
  }
  return cursor;
}

void startProcess() {
  const char* commandLine = GetCommandLineA();
  std::vector<char> copy(commandLine, commandLine + std::strlen(commandLine) + 1);
  char* tail = commandLineTail(copy.data());
  std::exit(WinMain(GetModuleHandleA(nullptr), nullptr, tail, SW_SHOWDEFAULT));
}
