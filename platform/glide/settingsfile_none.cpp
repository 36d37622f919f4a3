// No settings file outside Windows: on Linux and in the page the board's
// switches come from the environment (the page's query string) alone.
#include "settings.h"

namespace softglide::detail {

std::optional<std::string> settingsFilePath() {
  return std::nullopt;
}

}  // namespace softglide::detail
