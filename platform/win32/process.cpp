// Process facilities of the Win32 subset: the command line, the module
// handle, the thread id, the process exit and the settings each program's
// main applies (win32/process.h). (Sleep is the build's choice:
// sleep.cpp, or the page's in a browser.)
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>

#include "win32/display.h"
#include "win32/process.h"

namespace {

// When memory runs out, operator new throws std::bad_alloc and the
// start-ups say "out of memory". But the exception needs memory of its own:
// when not even a small block is left (and the runtime's reserve could not be
// made at load), throwing would end in std::terminate, an abort. Then the
// process says so itself and ends with code 1, as the start-ups would.
void outOfMemory() {
  void* room = std::malloc(1024);
  if (room == nullptr) {
    const char* name = program_invocation_short_name;
    const char* said = ": out of memory\n";
    (void)!write(2, name, std::strlen(name));
    (void)!write(2, said, std::strlen(said));
    _exit(1);
  }
  std::free(room);
  throw std::bad_alloc();
}

std::string commandLine;
bool commandLineSet = false;

// Windows quotes an argument that is empty or holds a blank, and joins them
// with single spaces: an empty program name stays a name of its own ("").
std::string joinArguments(const std::vector<std::string>& arguments) {
  std::string joined;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (i > 0) {
      joined += ' ';
    }
    if (argument.empty() || argument.find_first_of(" \t") != std::string::npos) {
      joined += '"' + argument + '"';
    } else {
      joined += argument;
    }
  }
  return joined;
}

std::vector<std::string> processArguments() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  const std::string raw{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::vector<std::string> arguments;
  std::string::size_type start = 0;
  while (start < raw.size()) {
    const auto end = raw.find('\0', start);
    arguments.push_back(raw.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return arguments;
}

}  // namespace

namespace win32 {

void setCommandLine(const std::vector<std::string>& arguments) {
  commandLine = joinArguments(arguments);
  commandLineSet = true;
}

void applyProcessSettings() {
  signal(SIGPIPE, SIG_IGN);
  std::set_new_handler(outOfMemory);
}

unsigned openClosedStandardDescriptors() {
  unsigned closed = 0;
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1) {
      continue;
    }
    // The lowest free number is this one: every lower one is open by now.
    const int opened = open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
    if (opened != descriptor && opened >= 0) {
      dup2(opened, descriptor);
      close(opened);
    }
    closed |= 1u << descriptor;
  }
  return closed;
}

}  // namespace win32

extern "C" {

// Only reads: the arguments of the process, unless a start-up set others.
LPSTR WINAPI GetCommandLineA(void) {
  if (!commandLineSet) {
    win32::setCommandLine(processArguments());
  }
  return commandLine.data();
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  static char self;
  return moduleName == nullptr ? reinterpret_cast<HMODULE>(&self) : nullptr;
}

DWORD WINAPI GetCurrentThreadId(void) {
  return static_cast<DWORD>(getpid());
}

[[noreturn]] void WINAPI ExitProcess(UINT exitCode) {
  std::fflush(nullptr);
  std::_Exit(static_cast<int>(exitCode));
}

}  // extern "C"
