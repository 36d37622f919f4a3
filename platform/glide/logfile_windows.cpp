// Opening a log for writing on Windows: in binary mode, so that lines end
// in a line feed alone, as on every other system.
#include <cerrno>
#include <cstring>

#include "runlog.h"

namespace softglide::detail {

std::FILE* openLogFile(const char* path, std::string& problem) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    problem = std::strerror(errno);
  }
  return file;
}

}  // namespace softglide::detail
