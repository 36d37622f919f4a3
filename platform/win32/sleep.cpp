// Sleep on a system with threads: the calling thread waits, nothing else
// runs meanwhile. (A browser page sleeps by giving the page its turn:
// platform/web.)
#include <windows.h>

#include <chrono>
#include <thread>

extern "C" void WINAPI Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
