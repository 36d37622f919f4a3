// The headless display: a screen of any size kept in memory, for tests,
// tools and benchmarks. It needs nothing but memory; its input is what the
// program scripts, delivered by GetMessageA call number, and its message
// boxes are recorded and dismissed at once. It shows nothing to anyone.
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
  ~HeadlessDisplay() override {
    if (instance == this) {
      instance = nullptr;
    }
  }

  bool open() override { return width_ > 0 && height_ > 0; }
  int width() const override { return width_; }
  int height() const override { return height_; }
  void setWindowShown(bool, const std::string&) override {}
  void setCursorVisible(bool visible) override { cursorVisible_ = visible; }

  // Input scripted for this GetMessageA call or an earlier one has
  // arrived; waiting ends with the next scripted input, delivered early.
  bool collectInput(std::deque<InputEvent>& input, bool wait) override {
    deliverUpTo(getMessageCalls(), input);
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

}  // namespace
}  // namespace win32::detail

namespace win32 {

void useHeadlessDisplay(int width, int height) {
  useDisplay(std::make_unique<detail::HeadlessDisplay>(width, height));
}

}  // namespace win32

namespace win32::headless {

using detail::headlessDisplay;
using detail::ScriptedStep;

void scriptInput(int getMessageCall, UINT message, WPARAM wParam, LPARAM lParam) {
  ScriptedStep step;
  step.input = InputEvent{message, wParam, lParam};
  headlessDisplay().add(getMessageCall, std::move(step));
}

void scriptKeyDown(int getMessageCall, UINT virtualKey, bool altHeld) {
  const InputEvent key = keyMessage(virtualKey, 0, false, altHeld);
  scriptInput(getMessageCall, key.message, key.wParam, key.lParam);
}

void scriptKeyUp(int getMessageCall, UINT virtualKey, bool altHeld) {
  const InputEvent key = keyMessage(virtualKey, 0, true, altHeld);
  scriptInput(getMessageCall, key.message, key.wParam, key.lParam);
}

void scriptMouseMove(int getMessageCall, int x, int y, WPARAM keyFlags) {
  scriptInput(getMessageCall, WM_MOUSEMOVE, keyFlags, MAKELPARAM(x, y));
}

void scriptCloseRequest(int getMessageCall) {
  scriptAction(getMessageCall, [] { postCloseRequest(); });
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
