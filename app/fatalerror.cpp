// The fatal error report: a system-modal message box, then exit code 0.
#include "app/fatalerror.h"

#include <windows.h>

#include <cstdarg>
#include <cstdlib>
#include <algorithm>
#include <cstring>

// The box text holds at most 253 characters, so that the line end and the
// terminating zero fit in 256 bytes; a longer message is cut there rather
// than written past the buffer.
void fatalError(const char* format, ...) {
  char formatted[1025];
  va_list arguments;
  va_start(arguments, format);
  wvsprintfA(formatted, format, arguments);
  va_end(arguments);

  char buffer[256];
  const std::size_t length = std::min<std::size_t>(std::strlen(formatted), sizeof buffer - 3);
  std::memcpy(buffer, formatted, length);
  buffer[length] = '\0';
  lstrcatA(buffer, "\r\n");
  MessageBoxA(nullptr, buffer, "Lumvane - Fatal Error", MB_SYSTEMMODAL);
  std::exit(0);
}
