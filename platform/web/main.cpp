// The start-up of the saver in a browser page: the page's canvas is the
// screen, and the command line is what the page wrote for the process (its
// query string's cmd=, "/s" when absent).
#include "app/startup.h"
#include "web_display.h"

int main() {
  win32::useWebDisplay();
  startProcess();
}
