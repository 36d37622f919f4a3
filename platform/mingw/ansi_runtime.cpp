// The three wide-character calls of the mingw-w64 runtime (libgcc's locks,
// the code-page lookup, the unwinder's search for its DLL), served by their
// ANSI twins: Windows 95 and 98 only stub the wide ones out, so the 32-bit
// programs must not import them. Linked into lumvane.scr and glide2x.dll.
#include <windows.h>

namespace {

// A module or object name in the system's ANSI code page; false when it does
// not fit, which the callers report as a missing name.
bool toAnsi(LPCWSTR wide, char (&ansi)[MAX_PATH]) {
  return WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, MAX_PATH, nullptr, nullptr) > 0;
}

HANDLE WINAPI createSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum, LPCWSTR name) {
  if (name == nullptr) {
    return CreateSemaphoreA(attributes, initial, maximum, nullptr);
  }
  char ansi[MAX_PATH];
  if (!toAnsi(name, ansi)) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  return CreateSemaphoreA(attributes, initial, maximum, ansi);
}

HMODULE WINAPI getModuleHandle(LPCWSTR name) {
  if (name == nullptr) {
    return GetModuleHandleA(nullptr);
  }
  char ansi[MAX_PATH];
  if (!toAnsi(name, ansi)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return GetModuleHandleA(ansi);
}

HMODULE WINAPI loadLibrary(LPCWSTR name) {
  char ansi[MAX_PATH];
  if (name == nullptr || !toAnsi(name, ansi)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return LoadLibraryA(ansi);
}

}  // namespace

// The import slots that the runtime's objects call through: defined here,
// they are never taken from kernel32's import library.
extern "C" {
[[gnu::used]] decltype(&createSemaphore) importCreateSemaphoreW __asm__("__imp__CreateSemaphoreW@16") =
    &createSemaphore;
[[gnu::used]] decltype(&getModuleHandle) importGetModuleHandleW __asm__("__imp__GetModuleHandleW@4") =
    &getModuleHandle;
[[gnu::used]] decltype(&loadLibrary) importLoadLibraryW __asm__("__imp__LoadLibraryW@4") = &loadLibrary;
}
