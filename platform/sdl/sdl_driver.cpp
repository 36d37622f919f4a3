// The SDL video driver a session gets (see sdl_driver.h).
#include "sdl_driver.h"

namespace win32::sdl {
namespace {

bool set(const char* value) {
  return value != nullptr && *value != '\0';
}

}  // namespace

const char* preferredVideoDrivers(const char* videoDriver, const char* waylandDisplay, const char* display) {
  if (set(videoDriver)) {
    return nullptr;
  }
  if (set(waylandDisplay)) {
    return "wayland,x11";
  }
  return set(display) ? "x11" : nullptr;
}

}  // namespace win32::sdl
