// Presenting the front buffer into the window through GDI: the runs written
// in the new picture or the one shown last are scaled into window pixels by
// the board's own rule, gathered into rectangles, and handed to the system
// 1:1 (SetDIBitsToDevice), a group of rectangles a call through a clip
// region of them.
#include "presenter.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "pixel.h"

namespace softglide::detail {
namespace {

// floor(value / 2), for either sign: the offset that centres a picture.
int halfDown(int value) {
  return value >= 0 ? value / 2 : -((1 - value) / 2);
}
// How finely to gather runs on a picture of this size. The runs themselves
// are drawn exactly; what is gathered is what the system is handed. A
// rectangle row costs a GDI about as much as copying 20 window pixels, a
// rectangle as much as 60 (measured with callgrind on ours): so runs of a
// row join across fewer unwritten window pixels than that, and a rectangle
// grows down over rows that take in fewer than 60.
Gathering gatheringFor(const Placement& placement, int pictureWidth, int pictureHeight) {
  const long long across = std::max(placement.width, 1) / std::max(pictureWidth, 1);
  const long long down = std::max(placement.height, 1) / std::max(pictureHeight, 1);
  const auto inPicturePixels = [&](long long windowPixels, long long scale) {
    return static_cast<int>(std::max(windowPixels / std::max(scale, 1LL), 1LL));
  };
  return {inPicturePixels(20, across), inPicturePixels(60, across * down)};
}

// Limits drawing through the device context to the rectangles.
void clipTo(HDC context, const RECT* first, std::size_t count, std::vector<unsigned char>& data) {
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
// The window pixels of box, as the presenter drew them, onto the window 1:1.
// The bitmap given is the box's rows of the window picture, used whole from
// its top row, which every GDI reads alike.
void handOver(HDC context, const WindowPicture& picture, const RECT& box) {
  const int width = static_cast<int>(box.right - box.left);
  const int height = static_cast<int>(box.bottom - box.top);
  if (width <= 0 || height <= 0) {
    return;
  }
  const RECT visible = picture.visible();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = picture.width();
  info.bmiHeader.biHeight = -height;  // top-down: the box's top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(context, static_cast<int>(box.left), static_cast<int>(box.top), static_cast<DWORD>(width),
                    static_cast<DWORD>(height), static_cast<int>(box.left - visible.left), 0, 0,
                    static_cast<UINT>(height),
                    picture.pixelsAt(static_cast<int>(visible.left), static_cast<int>(box.top)), &info, DIB_RGB_COLORS);
}
// A picture of 5-6-5 words for SetDIBitsToDevice: the header and the three
// channel masks that follow it.
struct WordsInfo {
  BITMAPINFOHEADER header;
  DWORD masks[3];
};

WordsInfo wordsInfo(int width, int height) {
  WordsInfo info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = -height;  // top-down
  info.header.biPlanes = 1;
  info.header.biBitCount = 16;
  info.header.biCompression = BI_BITFIELDS;
  info.masks[0] = 0xF800;
  info.masks[1] = 0x07E0;
  info.masks[2] = 0x001F;
  return info;
}

// Whether the system's GDI turns 5-6-5 words into the pixels the board's
// conversion gives, each channel's bits replicated (ours and Wine's do; a
// GDI that shifts alone gives 0xF8 for 31): two pixels drawn at the
// window's corner and read back, before the first present draws over them.
bool convertsWordsExactly(HDC context) {
  const std::uint16_t probe[2] = {0x001F, 0x0400};  // blue 31: 0xFF; green 32: 0x82
  const WordsInfo info = wordsInfo(2, 1);
  if (SetDIBitsToDevice(context, 0, 0, 2, 1, 0, 0, 0, 1, probe, reinterpret_cast<const BITMAPINFO*>(&info),
                        DIB_RGB_COLORS) == 0) {
    return false;
  }
  return GetPixel(context, 0, 0) == 0x00FF0000u && GetPixel(context, 1, 0) == 0x00008200u;
}

// The picture's own words of box (window pixels, the picture lying 1:1 at
// its placement) onto the window: the system converts them.
void handOverWords(HDC context, const PictureView& picture, const Placement& placement, const RECT& box) {
  const int width = static_cast<int>(box.right - box.left);
  const int height = static_cast<int>(box.bottom - box.top);
  if (width <= 0 || height <= 0) {
    return;
  }
  const int pictureWidth = picture.written.width();
  const WordsInfo info = wordsInfo(pictureWidth, height);
  const std::uint16_t* rows = picture.pixels + static_cast<std::size_t>(box.top - placement.top) * pictureWidth;
  SetDIBitsToDevice(context, static_cast<int>(box.left), static_cast<int>(box.top), static_cast<DWORD>(width),
                    static_cast<DWORD>(height), static_cast<int>(box.left - placement.left), 0, 0,
                    static_cast<UINT>(height), rows, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS);
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

// Whether part of the window is hidden from drawing through the context (by
// another window over it, or the edge of the screen). Drawing there is lost,
// so when the window shows whole again it is drawn whole. A system that
// keeps every window's pixels (a compositor) never reports any hidden.
bool partlyHidden(HDC context, int width, int height) {
  RECT box{};
  const int kind = GetClipBox(context, &box);
  if (kind == ERROR) {
    return false;
  }
  return kind != SIMPLEREGION || box.left > 0 || box.top > 0 || box.right < width || box.bottom < height;
}

// The runs written in either picture drawn into the window picture, and
// gathered into rectangles of window pixels. Outside them the window
// picture already shows this picture, so the rectangles drawn and handed
// over may take in pixels that were not written.
void drawWritten(const PictureView& picture, const PictureView& previous, const Placement& placement,
                 PresenterState& state) {
  state.written.clear();
  state.shown.clear();
  // On the card's own grid each run is converted where it lies; where only
  // the picture shown last was written, this one holds its clear's pattern,
  // converted once, which saves reading pixels nothing drew lately. Scaled,
  // the gathered rectangles are drawn whole (their rows scale in long
  // steps), the unwritten pixels they take in coming out as they were.
  WindowPicture& windowPicture = state.windowPicture;
  const bool runByRun = windowPicture.wholeOneToOne();
  if (runByRun) {
    state.clearPattern.make(picture.written, state.converter);
  }
  state.gatherer.gather(
      picture.written, previous.written, gatheringFor(placement, picture.written.width(), picture.written.height()),
      state.written, [&](int row, int word, std::uint32_t now, std::uint32_t before) {
        if (!runByRun) {
          return;
        }
        forEachRunOfWord(now, word * 32, [&](int first, int end) {
          windowPicture.drawRun(picture.pixels, state.converter, row, first, end);
        });
        forEachRunOfWord(before & ~now, word * 32, [&](int first, int end) {
          windowPicture.copyRun(state.clearPattern.row(row), row, first, end);
        });
      });
  for (const PictureRect& rect : state.written) {
    RECT window{};
    if (windowPicture.windowRect(rect.left, rect.top, rect.right, rect.bottom, window)) {
      if (!runByRun) {
        windowPicture.draw(picture.pixels, state.converter, window);
      }
      state.shown.push_back(window);
    }
  }
}

// The runs written in either picture gathered into rectangles of window
// pixels, for a picture lying 1:1 at its placement, nothing drawn.
void gatherWritten(const PictureView& picture, const PictureView& previous, const Placement& placement,
                   PresenterState& state) {
  state.written.clear();
  state.shown.clear();
  state.gatherer.gather(picture.written, previous.written,
                        gatheringFor(placement, picture.written.width(), picture.written.height()), state.written,
                        [](int, int, std::uint32_t, std::uint32_t) {});
  for (const PictureRect& rect : state.written) {
    state.shown.push_back({rect.left + placement.left, rect.top + placement.top, rect.right + placement.left,
                           rect.bottom + placement.top});
  }
}

// The rectangles shown gathered into groups, each group's box handed over
// through a clip region of its rectangles.
template <typename HandOver>
void handOverGroups(HDC context, PresenterState& state, HandOver handOverBox) {
  state.groups.gather(state.shown);
  for (std::size_t i = 0; i < state.groups.count(); ++i) {
    clipTo(context, state.groups.first(i), state.groups.size(i), state.regionData);
    handOverBox(state.groups.box(i));
  }
  SelectClipRgn(context, nullptr);
}

}  // namespace

void ClearPattern::make(const WrittenSpans& cleared, const Converter& converter) {
  if (cleared.red() == red_ && cleared.green() == green_ && cleared.blue() == blue_ &&
      converter.gamma() == gamma_ && rows_[0].size() == static_cast<std::size_t>(cleared.width())) {
    return;
  }
  red_ = cleared.red();
  green_ = cleared.green();
  blue_ = cleared.blue();
  gamma_ = converter.gamma();
  std::vector<std::uint16_t> dithered(static_cast<std::size_t>(cleared.width()));
  for (int phase = 0; phase < 4; ++phase) {
    for (int x = 0; x < cleared.width(); ++x) {
      dithered[static_cast<std::size_t>(x)] = pixel::ditherTo565(red_, green_, blue_, x, phase);
    }
    rows_[phase].resize(dithered.size());
    converter.convert(dithered.data(), rows_[phase].data(), dithered.size());
  }
}

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
void presentPicture(HWND window, const PictureView& picture, const PictureView& previous, double gamma, ScaleMode scale,
                    PresenterState& state) {
  const HDC context = GetDC(window);
  if (context == nullptr) {
    state.presented = false;  // the window missed this picture: the next one is shown whole
    return;
  }
  RECT client{};
  GetClientRect(window, &client);
  const int width = std::max<int>(client.right - client.left, 0);
  const int height = std::max<int>(client.bottom - client.top, 0);
  const Placement placement = placePicture(width, height, scale);
  const int pictureWidth = picture.written.width();
  const int pictureHeight = picture.written.height();
  // Only pixels written in either picture since their clears can differ,
  // when the clears had the same colour: only those are shown anew. The
  // whole picture is shown on the first present, after one that failed, a
  // size change, a new clear colour or gamma, and where the system says the
  // window lost its pixels.
  const bool hidden = partlyHidden(context, width, height);
  const bool uncovered = state.obscured && !hidden;
  state.obscured = hidden;
  const bool sameSize = width == state.paintedWidth && height == state.paintedHeight;
  const bool sameGamma = gamma == state.converter.gamma();
  state.converter.setGamma(gamma);
  const bool whole =
      !state.presented || !sameSize || !sameGamma || uncovered || !picture.written.sameClear(previous.written);
  // Where the runs are scattered all over (the opening's noise), the whole
  // picture costs less to hand over than they do.
  const bool everything = whole || picture.written.scattered(&previous.written);
  // Where the system converts words as the board does and the picture lies
  // 1:1 and whole in the window, its own words are handed over: nothing is
  // converted twice or kept twice. Else the window picture, which a present
  // in words left behind, is drawn whole the next time.
  if (!state.probed) {
    state.probed = true;
    state.exactWords = convertsWordsExactly(context);
  }
  // (A bitmap's rows are whole 32-bit words: an odd width's rows of words
  // are not the picture's.)
  const bool words = state.exactWords && gamma == 1.0 && pictureWidth % 2 == 0 && placement.width == pictureWidth &&
                     placement.height == pictureHeight && placement.left >= 0 && placement.top >= 0 &&
                     placement.left + placement.width <= width && placement.top + placement.height <= height;
  const bool drawWhole = everything || (state.handedWords && !words);
  state.handedWords = words;
  state.presented = true;
  if (placement.width <= 0 || placement.height <= 0) {
    // nothing of the picture shows
  } else if (words) {
    const RECT visible{placement.left, placement.top, placement.left + placement.width,
                       placement.top + placement.height};
    if (everything) {
      handOverWords(context, picture, placement, visible);
    } else {
      gatherWritten(picture, previous, placement, state);
      handOverGroups(context, state, [&](const RECT& box) { handOverWords(context, picture, placement, box); });
    }
  } else if (!state.windowPicture.place(placement, width, height, pictureWidth, pictureHeight)) {
    state.presented = false;  // no memory for the window's pixels: the next present tries again
  } else if (drawWhole) {
    const RECT visible = state.windowPicture.visible();
    if (visible.left < visible.right && visible.top < visible.bottom) {
      state.windowPicture.draw(picture.pixels, state.converter, visible);
      handOver(context, state.windowPicture, visible);
    }
  } else {
    drawWritten(picture, previous, placement, state);
    handOverGroups(context, state, [&](const RECT& box) { handOver(context, state.windowPicture, box); });
  }
  // The bars beside the picture are the presenter's to paint: whenever the
  // picture is shown whole.
  if (whole) {
    paintBars(context, placement, width, height);
    state.paintedWidth = width;
    state.paintedHeight = height;
  }
  if (ReleaseDC(window, context) == 0) {
    state.presented = false;  // not shown after all: the next picture is shown whole
  }
}

}  // namespace softglide::detail
