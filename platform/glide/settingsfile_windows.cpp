// Where the board's settings file is on Windows: glide2x.ini in the folder
// of the glide2x.dll that holds this code, wherever Windows found it (beside
// the program, in a system folder, on the path).
#include <windows.h>

#include "settings.h"

namespace softglide::detail {
namespace {

const char settingsFileName[] = "glide2x.ini";

}  // namespace

std::optional<std::string> settingsFilePath() {
  // The DLL's handle is the base of the image that holds this name: Windows
  // 95 has VirtualQuery but not GetModuleHandleExA.
  MEMORY_BASIC_INFORMATION region{};
  if (VirtualQuery(settingsFileName, &region, sizeof region) == 0 || region.AllocationBase == nullptr) {
    return std::nullopt;
  }
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(region.AllocationBase), path, MAX_PATH);
  // A path that filled the buffer was cut short (and, before XP, not ended).
  if (length == 0 || length >= MAX_PATH) {
    return std::nullopt;
  }
  const std::string module(path, length);
  const std::size_t separator = module.find_last_of("\\/");
  if (separator == std::string::npos) {
    return std::nullopt;
  }
  return module.substr(0, separator + 1) + settingsFileName;
}

}  // namespace softglide::detail
