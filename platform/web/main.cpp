// The start-up of the saver in a browser page: the page's canvas is the
// screen, and the command line is what the page wrote for the process (its
// query string's cmd=, "/s" when absent).
#include <cstdio>
#include <cstdlib>
#include <new>

#include "app/startup.h"
#include "web_display.h"

int main() {
  win32::useWebDisplay();
  // Memory the page cannot have is a failure said on the console.
  try {
    startProcess();
  } catch (const std::bad_alloc&) {
    std::fputs("lumvane: out of memory\n", stderr);
    std::exit(1);
  }
}
