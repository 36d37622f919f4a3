// Which parts of the screen a present hands the page's canvas: the changed
// rectangles, nearby ones joined.
#include "canvas_parts.h"

#include <algorithm>

namespace win32::web {
namespace {

// How many of the parts gathered last a rectangle may join: GDI hands the
// rectangles over in the order they were drawn, so neighbours come close
// together, and a short look back keeps gathering cheap.
constexpr std::size_t partsLookedAt = 8;

long long area(const RECT& rect) {
  return static_cast<long long>(rect.right - rect.left) * (rect.bottom - rect.top);
}

RECT joined(const RECT& a, const RECT& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

}  // namespace

void gatherCanvasParts(const std::vector<RECT>& changed, int width, int height, std::vector<RECT>& parts) {
  parts.clear();
  for (const RECT& rect : changed) {
    const LONG left = std::clamp<LONG>(rect.left, 0, width);
    const LONG top = std::clamp<LONG>(rect.top, 0, height);
    const RECT part{left, top, std::clamp<LONG>(rect.right, left, width), std::clamp<LONG>(rect.bottom, top, height)};
    if (area(part) == 0) {
      continue;
    }
    // The part that takes it in with the fewest pixels asked for by neither
    // (pixels both hold count as saved).
    std::size_t best = parts.size();
    long long fewest = canvasCallPixels;
    for (std::size_t i = parts.size(); i-- > 0 && parts.size() - i <= partsLookedAt;) {
      const long long added = area(joined(parts[i], part)) - area(parts[i]) - area(part);
      if (added < fewest) {
        best = i;
        fewest = added;
      }
    }
    if (best < parts.size()) {
      parts[best] = joined(parts[best], part);
    } else {
      parts.push_back(part);
    }
  }
}

}  // namespace win32::web
