// Opening a log for writing on Linux without ever blocking: a FIFO that
// nothing reads is refused at once instead of holding the start-up (and the
// window already shown) until a reader comes.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runlog.h"

namespace softglide::detail {

std::FILE* openLogFile(const char* path, std::string& problem) {
  const int descriptor = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    problem = errno == ENXIO ? "a pipe that nothing reads" : std::strerror(errno);
    return nullptr;
  }
  // Writes wait for a slow reader, as they would to any file.
  fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = fdopen(descriptor, "wb");
  if (file == nullptr) {
    problem = std::strerror(errno);
    close(descriptor);
  }
  return file;
}

}  // namespace softglide::detail
