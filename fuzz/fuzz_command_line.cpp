// Fuzzes the command-line tail and the notice decision: any command line
// gives a tail inside it, and every tail but "/s" (either case) gets the
// notice and exit code 0 without a window.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/startup.h"
#include "win32/display.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool headless = [] {
    win32::useHeadlessDisplay(640, 480);
    return true;
  }();
  (void)headless;
  std::vector<char> commandLine(data, data + size);
  commandLine.push_back('\0');
  const std::size_t length = std::strlen(commandLine.data());
  char* tail = commandLineTail(commandLine.data());
  if (tail < commandLine.data() || tail > commandLine.data() + length) {
    std::abort();
  }
  std::string lowered(tail);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lowered == "/s") {
    return 0;  // that would start the saver itself
  }
  win32::headless::forgetMessageBoxes();
  if (WinMain(nullptr, nullptr, tail, SW_SHOWDEFAULT) != 0 || win32::headless::messageBoxes().size() != 1 ||
      win32::headless::messageBoxes()[0].caption != "Notice" || GetActiveWindow() != nullptr) {
    std::abort();
  }
  win32::headless::forgetMessageBoxes();
  return 0;
}
