// The process entry on Windows, where the system is the real Win32 and the
// saver itself starts in WinMain. (Linux starts in platform/hack, a browser
// page in platform/web.)
#include <windows.h>

#include <new>

#include "app/startup.h"

int main() {
  // Memory that cannot be had where nothing else expects it is a failure
  // said in a box, never an abort.
  try {
    startProcess();
  } catch (const std::bad_alloc&) {
    MessageBoxA(nullptr, "Out of memory\r\n", "Lumvane - Fatal Error", MB_SYSTEMMODAL);
    ExitProcess(1);
  }
}
