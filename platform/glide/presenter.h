// Presenting the board's front buffer into its window through GDI, placed as
// the scale mode says, handing over only the pixels that can have changed
// since the last present.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <vector>
#include "conversion.h"
#include "gathering.h"
#include "scaling.h"
#include "softglide.h"
#include "spans.h"

namespace softglide::detail {
// A picture of the board: its pixels (top memory row first) and what was
// written in it since its last whole clear.
struct PictureView {
  const std::uint16_t* pixels;
  const WrittenSpans& written;
};

// A clear colour's dither pattern converted: a row of the picture's width
// for each of the four memory-row phases; made again when the colour, the
// width or the gamma changes.
class ClearPattern {
 public:
  void make(const WrittenSpans& cleared, const Converter& converter);
  const std::uint32_t* row(int memoryRow) const { return rows_[memoryRow & 3].data(); }

 private:
  int red_ = -1, green_ = -1, blue_ = -1;
  double gamma_ = 0.0;
  std::array<std::vector<std::uint32_t>, 4> rows_;
};

// What the window shows, as the presenter left it, and what the presenter
// keeps from one present to the next.
struct PresenterState {
  int paintedWidth = -1;  // the window size whose bars are painted
  int paintedHeight = -1;
  bool presented = false;  // the window shows the picture presented last
  bool obscured = false;   // part of the window was hidden at the last present
  bool probed = false;     // whether the system's GDI converts 5-6-5 words as the board does is known
  bool exactWords = false;  // it does: a picture lying 1:1 is handed over as its own words
  bool handedWords = false;  // the last present did so (the window picture was not kept)
  Converter converter;
  ClearPattern clearPattern;
  WindowPicture windowPicture;
  SpanGatherer gatherer;
  CallGroups groups;
  std::vector<PictureRect> written;  // this present's rectangles of picture pixels
  std::vector<RECT> shown;           // and of window pixels
  std::vector<unsigned char> regionData;
};
Placement placePicture(int width, int height, ScaleMode scale);
// Shows picture in window, through the output gamma, placed as scale says.
// previous is the picture presented last, unchanged since: where neither
// was written since their clears (in the same colour), the window already
// shows the picture.
void presentPicture(HWND window, const PictureView& picture, const PictureView& previous, double gamma, ScaleMode scale,
                    PresenterState& presenter);

}  // namespace softglide::detail
