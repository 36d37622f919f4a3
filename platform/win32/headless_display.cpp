// The headless display: a screen in memory, input scripted by GetMessageA
// call number, message boxes recorded and dismissed at once.
#include <cstdio>
#include <map>

#include "internal.h"
#include "win32/display.h"

namespace win32::detail {
namespace {

struct ScriptedStep {
  bool isAction = false;
  InputEvent input{};
  std::function<void()> action;
};

class HeadlessDisplay;
HeadlessDisplay* instance = nullptr;

class HeadlessDisplay final : public Display {
 public:
  HeadlessDisplay(int width, int height) : width_(width), height_(height) {
    instance = this;
  }
  ~HeadlessDisplay() override { instance = nullptr; }

  bool open() override { return width_ > 0 && height_ > 0; }
  int width() const override { return width_; }
  int height() const override { return height_; }
  void setWindowShown(bool, const std::string&) override {}
  void setCursorVisible(bool visible) override { cursorVisible_ = visible; }

  void beginGetMessage(int call, std::deque<InputEvent>& input) override {
    deliverUpTo(call, input);
  }

  // Waiting ends with the next scripted input, delivered early.
  bool collectInput(std::deque<InputEvent>& input, bool wait) override {
    if (!wait) {
      return true;
    }
    if (script_.empty()) {
      return false;
    }
    deliverUpTo(script_.begin()->first, input);
    return true;
  }

  Memory screenMemory() override {
    screen_.resize(static_cast<std::size_t>(width_) * height_);
    return {screen_.data(), static_cast<std::size_t>(width_)};
  }

  // The screen memory itself is the picture: it changes only by drawing
  // that is then presented, so nothing is copied here.
  bool present(const std::vector<RECT>&) override {
    if (presentObserver_) {
      presentObserver_(screen_);
    }
    return true;
  }

  int messageBox(HWND owner, const char* text, const char* caption, UINT type) override {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    boxes_.push_back({owner, text, caption, type});
    return IDOK;
  }

  void resize(int width, int height) {
    const int oldWidth = width_;
    const int oldHeight = height_;
    width_ = width;
    height_ = height;
    screen_.assign(static_cast<std::size_t>(width) * height, 0);
    screenResized(oldWidth, oldHeight, width, height);
  }

  void add(int call, ScriptedStep step) { script_[call].push_back(std::move(step)); }
  const std::vector<headless::MessageBoxRecord>& boxes() const { return boxes_; }
  void forgetBoxes() { boxes_.clear(); boxes_.shrink_to_fit(); }
  bool cursorVisible() const { return cursorVisible_; }
  void observe(std::function<void(const std::vector<std::uint32_t>&)> observer) {
    presentObserver_ = std::move(observer);
  }

 private:
  void deliverUpTo(int call, std::deque<InputEvent>& input) {
    while (!script_.empty() && script_.begin()->first <= call) {
      std::vector<ScriptedStep> steps = std::move(script_.begin()->second);
      script_.erase(script_.begin());
      for (ScriptedStep& step : steps) {
        if (step.isAction) {
          step.action();
        } else {
          input.push_back(step.input);
        }
      }
    }
  }

  int width_;
  int height_;
  std::map<int, std::vector<ScriptedStep>> script_;
  std::vector<headless::MessageBoxRecord> boxes_;
  std::vector<std::uint32_t> screen_;
  bool cursorVisible_ = true;
  std::function<void(const std::vector<std::uint32_t>&)> presentObserver_;
};

HeadlessDisplay& headlessDisplay() {
  display();
  if (instance == nullptr) {
    std::fprintf(stderr, "win32: the headless display is not selected\n");
    std::abort();
  }
  return *instance;
}

// Bits of a key message's lParam: repeat count 1, the context bit while Alt
// is held, and for a release the previous-state and transition bits.
LPARAM keyBits(bool altHeld, bool release) {
  std::uint32_t bits = 1;
  if (altHeld) {
    bits |= 1u << 29;
  }
  if (release) {
    bits |= (1u << 30) | (1u << 31);
  }
  return static_cast<LPARAM>(bits);
}

}  // namespace

std::unique_ptr<Display> makeHeadlessDisplay(int width, int height) {
  return std::make_unique<HeadlessDisplay>(width, height);
}

}  // namespace win32::detail

namespace win32::headless {

using detail::headlessDisplay;
using detail::InputEvent;
using detail::ScriptedStep;

void scriptInput(int getMessageCall, UINT message, WPARAM wParam, LPARAM lParam) {
  ScriptedStep step;
  step.input = InputEvent{message, wParam, lParam};
  headlessDisplay().add(getMessageCall, std::move(step));
}

void scriptKeyDown(int getMessageCall, UINT virtualKey, bool altHeld) {
  const bool system = altHeld || virtualKey == VK_F10;
  scriptInput(getMessageCall, system ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey,
              detail::keyBits(altHeld, false));
}

void scriptKeyUp(int getMessageCall, UINT virtualKey, bool altHeld) {
  const bool system = altHeld || virtualKey == VK_F10;
  scriptInput(getMessageCall, system ? WM_SYSKEYUP : WM_KEYUP, virtualKey,
              detail::keyBits(altHeld, true));
}

void scriptMouseMove(int getMessageCall, int x, int y, WPARAM keyFlags) {
  scriptInput(getMessageCall, WM_MOUSEMOVE, keyFlags, MAKELPARAM(x, y));
}

void scriptCloseRequest(int getMessageCall) {
  scriptAction(getMessageCall, [] {
    if (const HWND window = GetActiveWindow()) {
      PostMessageA(window, WM_CLOSE, 0, 0);
    }
  });
}

void scriptAction(int getMessageCall, std::function<void()> action) {
  ScriptedStep step;
  step.isAction = true;
  step.action = std::move(action);
  headlessDisplay().add(getMessageCall, std::move(step));
}

void resizeScreen(int width, int height) {
  if (width > 0 && height > 0) {
    headlessDisplay().resize(width, height);
  }
}

std::vector<MessageBoxRecord> messageBoxes() {
  return headlessDisplay().boxes();
}

void forgetMessageBoxes() {
  headlessDisplay().forgetBoxes();
}

int screenWidth() {
  return headlessDisplay().width();
}

int screenHeight() {
  return headlessDisplay().height();
}

std::vector<std::uint32_t> screenPixels() {
  headlessDisplay();
  return detail::screenCopy();
}

bool cursorVisible() {
  return headlessDisplay().cursorVisible();
}

void observePresents(std::function<void(const std::vector<std::uint32_t>&)> observer) {
  headlessDisplay().observe(std::move(observer));
}

}  // namespace win32::headless
