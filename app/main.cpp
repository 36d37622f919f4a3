// The process entry on Windows, where the system is the real Win32 and the
// saver itself starts in WinMain. (Linux starts in platform/hack, a browser
// page in platform/web.)
#include "app/startup.h"

int main() {
  startProcess();
}
