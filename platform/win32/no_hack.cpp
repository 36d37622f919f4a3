// Builds without X windows to draw in (the browser page) take no hack
// options: the command line stands as it was given.
#include "internal.h"

namespace win32::detail {

std::vector<std::string> startFromArguments(const std::vector<std::string>& arguments) {
  return arguments;
}

}  // namespace win32::detail
