// Presenting the front buffer into the window through GDI, placed as the
// scale mode says: the pixels that differ from the picture shown last are
// gathered into rectangles, converted, and stretched through a clip region
// of the window rectangles that show them.
#include "presenter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <vector>

#include "conversion.h"

namespace softglide::detail {
namespace {

// floor(value / 2), for either sign: the offset that centres a picture.
int halfDown(int value) {
  return value >= 0 ? value / 2 : -((1 - value) / 2);
}

// One axis of the placement: the picture's pictureSize pixels on the window
// pixels [origin, origin + size) of a client area clientSize pixels long.
// Window pixel i covers picture positions [i * pictureSize / size,
// (i + 1) * pictureSize / size). Each window pixel shows the picture pixel
// under its centre on our GDI and on Wine's; a GDI that rounds otherwise
// still shows one of the picture pixels the window pixel covers. So a
// changed picture span is shown anew on every window pixel that covers any
// of it, and those window pixels are given every picture pixel they cover.
class Axis {
 public:
  void place(int origin, int size, int pictureSize, int clientSize) {
    origin_ = origin;
    const long long window = size, picture = pictureSize;
    windowFirst_.resize(static_cast<std::size_t>(pictureSize) + 1);
    windowEnd_.resize(static_cast<std::size_t>(pictureSize) + 1);
    for (long long p = 0; p <= picture; ++p) {
      windowFirst_[static_cast<std::size_t>(p)] = static_cast<int>(p * window / picture);
      windowEnd_[static_cast<std::size_t>(p)] = static_cast<int>((p * window + picture - 1) / picture);
    }
    pictureFirst_.resize(static_cast<std::size_t>(size) + 1);
    pictureEnd_.resize(static_cast<std::size_t>(size) + 1);
    for (long long w = 0; w <= window; ++w) {
      pictureFirst_[static_cast<std::size_t>(w)] = static_cast<int>(w * picture / window);
      pictureEnd_[static_cast<std::size_t>(w)] = static_cast<int>((w * picture + window - 1) / window);
    }
    visibleFirst_ = std::clamp(-origin, 0, size);
    visibleEnd_ = std::clamp(clientSize - origin, visibleFirst_, size);
  }

  // The window pixels (client coordinates) showing picture span [low,
  // high) inside the client area, and the picture span they cover; false
  // when none of them is inside.
  bool map(int low, int high, int& windowLow, int& windowHigh, int& pictureLow, int& pictureHigh) const {
    const int first = std::max(windowFirst_[static_cast<std::size_t>(low)], visibleFirst_);
    const int end = std::min(windowEnd_[static_cast<std::size_t>(high)], visibleEnd_);
    if (first >= end) {
      return false;
    }
    windowLow = origin_ + first;
    windowHigh = origin_ + end;
    pictureLow = pictureFirst_[static_cast<std::size_t>(first)];
    pictureHigh = pictureEnd_[static_cast<std::size_t>(end)];
    return true;
  }

 private:
  int origin_ = 0;
  int visibleFirst_ = 0, visibleEnd_ = 0;
  std::vector<int> windowFirst_, windowEnd_;    // by picture edge
  std::vector<int> pictureFirst_, pictureEnd_;  // by window edge
};

// The axes of the placement last used, made again when it changes.
struct Mapping {
  Placement picture{};
  int clientWidth = -1, clientHeight = -1;
  Axis columns, rows;
};

const Mapping& mappingFor(const Placement& picture, int clientWidth, int clientHeight) {
  static Mapping mapping;
  if (clientWidth != mapping.clientWidth || clientHeight != mapping.clientHeight ||
      std::memcmp(&picture, &mapping.picture, sizeof picture) != 0) {
    mapping.picture = picture;
    mapping.clientWidth = clientWidth;
    mapping.clientHeight = clientHeight;
    mapping.columns.place(picture.left, picture.width, screenWidth, clientWidth);
    mapping.rows.place(picture.top, picture.height, screenHeight, clientHeight);
  }
  return mapping;
}

// How finely to gather changes on a picture of this size. A rectangle costs
// about as much to clip, stretch and hand over as 200 instructions; an
// unchanged picture pixel taken in costs 3 to convert and 0.7 for each
// window pixel showing it (measured with callgrind at 640x480 and 4K). So a
// rectangle takes in unchanged pixels rather than leave a rectangle of its
// own while they cost less than one: on a 640x480 window about 50 of them,
// at 4K about 12, where the rectangles follow the changes closely.
Gathering gatheringFor(const Placement& picture) {
  constexpr long long picturePixels = static_cast<long long>(screenWidth) * screenHeight;
  const long long windowPixels = static_cast<long long>(std::max(picture.width, 0)) * std::max(picture.height, 0);
  const long long waste = 2000 * picturePixels / (30 * picturePixels + 7 * windowPixels);
  const int pixels = static_cast<int>(std::clamp(waste, 1LL, static_cast<long long>(screenWidth)));
  return {pixels, pixels};
}

// Limits drawing through the device context to the rectangles.
void clipTo(HDC context, const RECT* first, std::size_t count) {
  static std::vector<unsigned char> data;
  RGNDATAHEADER header{};
  header.dwSize = sizeof header;
  header.iType = RDH_RECTANGLES;
  header.nCount = static_cast<DWORD>(count);
  header.rcBound = {0, 0, 0, 0};
  for (const RECT& rect : std::span(first, count)) {
    if (header.rcBound.left >= header.rcBound.right) {
      header.rcBound = rect;
    }
    header.rcBound = {std::min(header.rcBound.left, rect.left), std::min(header.rcBound.top, rect.top),
                      std::max(header.rcBound.right, rect.right), std::max(header.rcBound.bottom, rect.bottom)};
  }
  data.resize(sizeof header + count * sizeof(RECT));
  std::memcpy(data.data(), &header, sizeof header);
  if (count != 0) {
    std::memcpy(data.data() + sizeof header, first, count * sizeof(RECT));
  }
  const HRGN region =
      ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<const RGNDATA*>(data.data()));
  SelectClipRgn(context, region);
  DeleteObject(region);
}

// The 16-pixel blocks of memory rows [top, bottom) that columns [left,
// right) touch, marked for conversion.
void markBlocks(int left, int top, int right, int bottom, std::array<std::uint64_t, screenHeight>& blocks) {
  const int first = left / blockWidth;
  const int end = (right + blockWidth - 1) / blockWidth;
  const std::uint64_t marked = (end - first < 64 ? (std::uint64_t{1} << (end - first)) - 1 : ~std::uint64_t{0})
                               << first;
  for (int row = top; row < bottom; ++row) {
    blocks[static_cast<std::size_t>(row)] |= marked;
  }
}

// The window rectangles gathered into groups, each drawn by one
// StretchDIBits through a clip region of its rectangles. A GDI stretches the
// box around a call's clip region (Wine does, a row at a time) and pays for
// each call besides, about as much as for callCost window pixels; so a
// rectangle joins the group whose box grows least to take it in, while that
// growth costs less than a call of its own. The rectangles come roughly top
// first: a group whose box ends well above them is not grown any more.
class CallGroups {
 public:
  static constexpr long long callCost = 4096;

  void gather(const std::vector<RECT>& rectangles) {
    groupOf_.resize(rectangles.size());
    boxes_.clear();
    int openCount = 0;
    for (std::size_t i = 0; i < rectangles.size(); ++i) {
      const RECT& rect = rectangles[i];
      std::size_t best = boxes_.size();
      long long bestGrowth = callCost;
      for (int k = 0; k < openCount;) {
        const RECT& box = boxes_[open_[k]];
        if (box.bottom + closingRows < rect.top) {
          open_[k] = open_[--openCount];
          continue;
        }
        const long long growth = area(united(box, rect)) - area(box) - area(rect);
        if (growth < bestGrowth) {
          bestGrowth = growth;
          best = open_[k];
        }
        ++k;
      }
      if (best == boxes_.size()) {
        boxes_.push_back(rect);
        // The new group takes the place of the oldest when all are taken.
        if (openCount < maxOpen) {
          open_[openCount++] = best;
        } else {
          std::size_t oldest = 0;
          for (int k = 1; k < maxOpen; ++k) {
            oldest = open_[k] < open_[oldest] ? static_cast<std::size_t>(k) : oldest;
          }
          open_[oldest] = best;
        }
      } else {
        boxes_[best] = united(boxes_[best], rect);
      }
      groupOf_[i] = best;
    }
    // The rectangles of each group side by side, groups in order.
    starts_.assign(boxes_.size() + 1, 0);
    for (const std::size_t group : groupOf_) {
      ++starts_[group + 1];
    }
    for (std::size_t group = 0; group < boxes_.size(); ++group) {
      starts_[group + 1] += starts_[group];
    }
    sorted_.resize(rectangles.size());
    next_.assign(starts_.begin(), starts_.end() - 1);
    for (std::size_t i = 0; i < rectangles.size(); ++i) {
      sorted_[next_[groupOf_[i]]++] = rectangles[i];
    }
  }

  std::size_t count() const { return boxes_.size(); }
  // The rectangles of group i.
  const RECT* first(std::size_t i) const { return sorted_.data() + starts_[i]; }
  std::size_t size(std::size_t i) const { return starts_[i + 1] - starts_[i]; }

 private:
  static constexpr int closingRows = 32;
  static constexpr int maxOpen = 4;

  static long long area(const RECT& rect) {
    return static_cast<long long>(rect.right - rect.left) * (rect.bottom - rect.top);
  }
  static RECT united(const RECT& a, const RECT& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
  }

  std::array<std::size_t, maxOpen> open_{};
  std::vector<std::size_t> groupOf_, starts_, next_;
  std::vector<RECT> boxes_, sorted_;
};

// The changed rectangles of the picture onto the window: the picture pixels
// their window pixels cover are converted (whole 16-pixel blocks of them),
// then stretched a group of rectangles at a time through a clip region of
// their window rectangles. The converted picture keeps older pixels
// elsewhere, which the clip regions keep off the window. Whole: the whole
// picture in one call, without a clip region.
void showRectangles(HDC context, const Placement& picture, const Mapping& mapping, const std::uint16_t* source,
                    const std::vector<PictureRect>& changed, bool whole, double gamma) {
  static std::vector<std::uint32_t> converted(static_cast<std::size_t>(screenWidth) * screenHeight);
  static std::vector<RECT> clip;
  static std::array<std::uint64_t, screenHeight> toConvert;
  static CallGroups groups;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = screenWidth;
  info.bmiHeader.biHeight = -screenHeight;  // top-down: the first memory row is the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const auto stretch = [&] {
    StretchDIBits(context, picture.left, picture.top, picture.width, picture.height, 0, 0, screenWidth, screenHeight,
                  converted.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  };
  if (whole) {
    convertWithGamma(source, converted.data(), converted.size(), gamma);
    stretch();
    return;
  }
  clip.clear();
  toConvert.fill(0);
  for (const PictureRect& rect : changed) {
    int windowLeft = 0, windowTop = 0, windowRight = 0, windowBottom = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!mapping.columns.map(rect.left, rect.right, windowLeft, windowRight, left, right) ||
        !mapping.rows.map(rect.top, rect.bottom, windowTop, windowBottom, top, bottom)) {
      continue;
    }
    clip.push_back({windowLeft, windowTop, windowRight, windowBottom});
    markBlocks(left, top, right, bottom, toConvert);
  }
  if (clip.empty()) {
    return;
  }
  convertBlocks(source, converted.data(), toConvert.data(), gamma);
  groups.gather(clip);
  for (std::size_t i = 0; i < groups.count(); ++i) {
    clipTo(context, groups.first(i), groups.size(i));
    stretch();
  }
  SelectClipRgn(context, nullptr);
}

// The client area outside the picture, in black.
void paintBars(HDC context, const Placement& picture, int width, int height) {
  const int left = std::clamp(picture.left, 0, width);
  const int right = std::clamp(picture.left + picture.width, left, width);
  const int top = std::clamp(picture.top, 0, height);
  const int bottom = std::clamp(picture.top + picture.height, top, height);
  const RECT bars[] = {{0, 0, left, height}, {right, 0, width, height}, {left, 0, right, top},
                       {left, bottom, right, height}};
  for (const RECT& bar : bars) {
    if (bar.left < bar.right && bar.top < bar.bottom) {
      PatBlt(context, bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top, BLACKNESS);
    }
  }
}

}  // namespace

Placement placePicture(int width, int height, ScaleMode scale) {
  switch (scale) {
    case ScaleMode::fill:
      return {0, 0, width, height};
    case ScaleMode::integer: {
      const int factor = std::max(1, std::min(width / screenWidth, height / screenHeight));
      const int pictureWidth = factor * screenWidth;
      const int pictureHeight = factor * screenHeight;
      return {halfDown(width - pictureWidth), halfDown(height - pictureHeight), pictureWidth, pictureHeight};
    }
    case ScaleMode::aspect:
      break;
  }
  int pictureWidth = width;
  int pictureHeight = static_cast<int>(static_cast<long long>(width) * 3 / 4);
  if (pictureHeight > height) {
    pictureHeight = height;
    pictureWidth = static_cast<int>(static_cast<long long>(height) * 4 / 3);
  }
  return {(width - pictureWidth) / 2, (height - pictureHeight) / 2, pictureWidth, pictureHeight};
}

void presentPicture(HWND window, const std::uint16_t* source, const std::uint16_t* previous,
                    const BufferChanges& now, double gamma, ScaleMode scale, PresenterState& state) {
  const HDC context = GetDC(window);
  if (context == nullptr) {
    state.presented = false;  // the window missed this picture: the next one is shown whole
    return;
  }
  RECT client{};
  GetClientRect(window, &client);
  const int width = std::max<int>(client.right - client.left, 0);
  const int height = std::max<int>(client.bottom - client.top, 0);
  const Placement picture = placePicture(width, height, scale);

  // After the first present only the pixels that differ from the picture
  // shown last can have changed: in blocks written in either picture since
  // their clears, when the clears had the same colour, those that differ
  // from the previous picture. Only those are converted and shown, except
  // on the first present, after a size change or a new clear colour, and
  // once a second, so that anything that drew over the window is painted
  // over in the end.
  const BufferChanges& shown = state.shown;
  const bool sameClear = now.red == shown.red && now.green == shown.green && now.blue == shown.blue;
  const bool sameSize = width == state.paintedWidth && height == state.paintedHeight;
  const bool refresh = ++state.presentsSinceWhole >= 60;
  const bool whole = !state.presented || !sameClear || !sameSize || refresh;
  if (whole) {
    state.presentsSinceWhole = 0;
  }
  if (picture.width > 0 && picture.height > 0) {
    const Mapping& mapping = mappingFor(picture, width, height);
    static std::vector<PictureRect> changed;
    changed.clear();
    if (!whole) {
      static std::array<std::uint64_t, screenHeight> candidates;
      for (int row = 0; row < screenHeight; ++row) {
        candidates[row] = now.blocks[row] | shown.blocks[row];
      }
      differingRectangles(source, previous, candidates.data(), gatheringFor(picture), changed);
    }
    showRectangles(context, picture, mapping, source, changed, whole, gamma);
  }
  state.shown = now;
  state.presented = true;
  // The bars beside the picture are the presenter's to paint: on the first
  // present and whenever the window's size changes.
  if (!sameSize) {
    paintBars(context, picture, width, height);
    state.paintedWidth = width;
    state.paintedHeight = height;
  }
  if (ReleaseDC(window, context) == 0) {
    state.presented = false;  // not shown after all: the next picture is shown whole
  }
}

}  // namespace softglide::detail
