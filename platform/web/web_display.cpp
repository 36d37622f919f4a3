// The web display, the saver in any browser (WebAssembly): a screen drawn
// into the page's canvas (640x480, or under SOFTGLIDE_RESOLUTION=native the
// picture's rectangle in device pixels, following the window), browser
// input as the Windows messages it stands for, message boxes as an overlay,
// and sleeping as giving the page its turn. Needs emscripten with Asyncify
// and the page side of all this, page.js, which chooses the screen's size.
// It cannot block: every wait (the swap, input, a box) unwinds to the
// browser and comes back; and the page decides when it may go full screen
// (at the first click or key).
#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>

#include "canvas_parts.h"
#include "web_display.h"
#include "win32/driver.h"

// The page's side, through the object that web/page.js sets up.
// The page writes the screen's width and height into size.
EM_JS(void, lumvane_page_open, (std::int32_t* size), { lumvanePage.open(size); });
EM_JS(void, lumvane_page_set_screen, (int width, int height), { lumvanePage.setScreen(width, height); });
EM_JS(void, lumvane_page_show, (int shown, const char* title), {
  lumvanePage.show(shown !== 0, UTF8ToString(title));
});
EM_JS(void, lumvane_page_set_cursor, (int visible), { lumvanePage.setCursor(visible !== 0); });
EM_JS(void, lumvane_page_present, (const void* pixels, const std::int32_t* boxes, int count), {
  lumvanePage.present(pixels, boxes, count);
});
EM_JS(int, lumvane_page_take_input, (std::int32_t* records, int capacity), {
  return lumvanePage.takeInput(records, capacity);
});
EM_JS(void, lumvane_page_show_box, (const char* caption, const char* text), {
  lumvanePage.showBox(UTF8ToString(caption), UTF8ToString(text));
});
EM_JS(int, lumvane_page_box_open, (), { return lumvanePage.boxOpen ? 1 : 0; });
EM_JS(double, lumvane_page_turn_started, (), { return lumvanePage.turnStarted; });
// Unwinds to the browser's event loop and comes back after the time given
// (listed in ASYNCIFY_IMPORTS).
EM_JS(void, lumvane_page_sleep, (int milliseconds), {
  return Asyncify.handleSleep(function(wakeUp) { lumvanePage.sleep(milliseconds, wakeUp); });
});

namespace win32::web {
namespace {

// A page that has not had its turn for this long stutters; the picture and
// input only move while it has.
constexpr double longestTurnMilliseconds = 1000.0 / 60.0;
// How often a wait for input or for a message box looks again.
constexpr DWORD pollMilliseconds = 10;
// A record from the page: message, wParam, lParam. WM_CLOSE stands for the
// page being left; keyRecord for a key pressed or released, with its
// virtual-key code and flags (1: a release, 2: Alt held, 4: a repeat);
// sizeRecord (WM_SIZE's number) for the screen's new size the page asks
// for, with its width and height.
constexpr int recordWords = 3;
constexpr UINT keyRecord = 0x100;
constexpr UINT sizeRecord = 0x5;
// Black in the canvas's order (bytes 0, 0, 0, 255).
constexpr std::uint32_t opaqueBlack = 0xFF000000u;

class WebDisplay final : public Display {
 public:
  bool open() override {
    if (!opened_) {
      std::array<std::int32_t, 2> size{};
      lumvane_page_open(size.data());
      if (!takeSize(size[0], size[1])) {
        std::fprintf(stderr, "win32: no memory for a %dx%d screen\n", size[0], size[1]);
        return false;
      }
      opened_ = true;
    }
    return true;
  }

  int width() const override { return width_; }
  int height() const override { return height_; }

  void setWindowShown(bool shown, const std::string& title) override { lumvane_page_show(shown, title.c_str()); }

  void setCursorVisible(bool visible) override { lumvane_page_set_cursor(visible); }


  bool collectInput(std::deque<InputEvent>& input, bool wait) override {
    while (!takeFromPage(input) && wait) {
      Sleep(pollMilliseconds);
    }
    return true;
  }

  // GDI draws in the canvas's own order, so the screen is the canvas's
  // image as it is.
  Memory screenMemory() override {
    return {screen_.data(), static_cast<std::size_t>(width_), PixelOrder::rgba};
  }

  // The changed rectangles, nearby ones joined (canvas_parts.h), are drawn
  // into the canvas, one putImageData each. The browser shows them once the
  // page has its turn, which a program that never sleeps (pacing off) gets
  // here.
  bool present(const std::vector<RECT>& changedParts) override {
    gatherCanvasParts(changedParts, width_, height_, parts_);
    boxes_.clear();
    for (const RECT& part : parts_) {
      boxes_.insert(boxes_.end(), {part.left, part.top, part.right, part.bottom});
    }
    if (!parts_.empty()) {
      lumvane_page_present(screen_.data(), boxes_.data(), static_cast<int>(parts_.size()));
    }
    if (emscripten_get_now() - lumvane_page_turn_started() > longestTurnMilliseconds) {
      Sleep(0);
    }
    return true;
  }

  // Modal as on Windows: the program waits until the box is dismissed.
  int messageBox(HWND, const char* text, const char* caption, UINT) override {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    lumvane_page_show_box(caption, text);
    while (lumvane_page_box_open() != 0) {
      Sleep(pollMilliseconds);
    }
    return IDOK;
  }

 private:
  // True when anything arrived; the page being left is a close request
  // posted to the active window, as the desktop's would be, and a new size
  // is the screen's, as a desktop's resolution change would be.
  bool takeFromPage(std::deque<InputEvent>& input) {
    std::array<std::int32_t, 64 * recordWords> records;
    bool any = false;
    for (;;) {
      const int count = lumvane_page_take_input(records.data(), static_cast<int>(records.size() / recordWords));
      for (int i = 0; i < count; ++i) {
        const auto message = static_cast<UINT>(records[i * recordWords]);
        const auto wParam = static_cast<WPARAM>(static_cast<std::uint32_t>(records[i * recordWords + 1]));
        const auto lParam = static_cast<LPARAM>(records[i * recordWords + 2]);
        if (message == WM_CLOSE) {
          postCloseRequest();
        } else if (message == sizeRecord) {
          resize(static_cast<int>(wParam), static_cast<int>(lParam));
        } else if (message == keyRecord) {
          input.push_back(keyMessage(static_cast<UINT>(wParam), 0, (lParam & 1) != 0, (lParam & 2) != 0,
                                     (lParam & 4) != 0));
        } else {
          input.push_back({message, wParam, lParam});
        }
        any = true;
      }
      if (count < static_cast<int>(records.size() / recordWords)) {
        return any;
      }
    }
  }

  // The screen and the canvas take the new size, black, and the windows
  // that covered the screen cover it again; kept as it was when the memory
  // for it cannot be had.
  void resize(int width, int height) {
    if (width == width_ && height == height_) {
      return;
    }
    const int oldWidth = width_;
    const int oldHeight = height_;
    if (!takeSize(width, height)) {
      std::fprintf(stderr, "win32: no memory for a %dx%d screen; it stays %dx%d\n", width, height, oldWidth, oldHeight);
      return;
    }
    screenResized(oldWidth, oldHeight, width, height);
  }

  // False when the memory cannot be had (or the size makes no sense).
  bool takeSize(int width, int height) {
    if (width <= 0 || height <= 0) {
      return false;
    }
    try {
      std::vector<std::uint32_t> screen(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                                        opaqueBlack);
      screen_.swap(screen);
    } catch (const std::bad_alloc&) {
      return false;
    }
    width_ = width;
    height_ = height;
    lumvane_page_set_screen(width, height);
    return true;
  }

  bool opened_ = false;
  int width_ = 0, height_ = 0;         // the screen's, in the canvas's pixels
  std::vector<std::uint32_t> screen_;  // bytes R, G, B, A, as the canvas takes them
  std::vector<RECT> parts_;            // what a present draws into the canvas
  std::vector<std::int32_t> boxes_;    // the same for the page: left, top, right, bottom each
};

}  // namespace

}  // namespace win32::web

void win32::useWebDisplay() {
  useDisplay(std::make_unique<web::WebDisplay>());
}

// The page has its turn meanwhile (the program's stack is unwound and
// rewound), so a page that sleeps stays alive.
extern "C" void WINAPI Sleep(DWORD milliseconds) {
  lumvane_page_sleep(static_cast<int>(std::min<DWORD>(milliseconds, 0x7FFFFFFF)));
}
