// The Win32 subset on the headless display: queue order, WM_PAINT
// synthesis, the default window procedure, input, text formatting and GDI.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "isolated.h"
#include "win32/display.h"
#include "win32/driver.h"

namespace {

std::vector<UINT> received;
bool dropSystemCommands = false;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  received.push_back(message);
  if (message == WM_SYSCOMMAND && dropSystemCommands) {
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A shown full-screen popup of a fresh class, as the saver makes one.
HWND makeShownWindow(const char* className) {
  win32::useHeadlessDisplay(640, 480);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = recordingProc;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = className;
  EXPECT_NE(RegisterClassA(&windowClass), 0);
  const HWND window = CreateWindowExA(0, className, "Test", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                      GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, nullptr, nullptr);
  EXPECT_NE(window, nullptr);
  ShowWindow(window, SW_SHOW);
  received.clear();
  dropSystemCommands = false;
  return window;
}

MSG nextMessage() {
  MSG message{};
  GetMessageA(&message, nullptr, 0, 0);
  return message;
}

int nextCall() {
  return win32::headless::getMessageCalls() + 1;
}

TEST(Queue, PostedThenInputThenPaintWhichNeverStopsUntilValidated) {
  const HWND window = makeShownWindow("QueueOrder");
  EXPECT_EQ(GetActiveWindow(), window);
  for (int i = 0; i < 3; ++i) {
    const MSG paint = nextMessage();
    EXPECT_EQ(paint.message, static_cast<UINT>(WM_PAINT));
    EXPECT_EQ(paint.hwnd, window);
  }
  win32::headless::scriptKeyDown(nextCall(), 'Q');
  PostMessageA(window, WM_USER + 1, 7, 8);
  PostQuitMessage(3);
  const MSG posted = nextMessage();
  EXPECT_EQ(posted.message, static_cast<UINT>(WM_USER + 1));
  EXPECT_EQ(posted.wParam, 7u);
  MSG quit{};
  EXPECT_EQ(GetMessageA(&quit, nullptr, 0, 0), FALSE);  // WM_QUIT is still a message
  EXPECT_EQ(quit.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(quit.hwnd, nullptr);
  EXPECT_EQ(quit.wParam, 3u);
  const MSG key = nextMessage();
  EXPECT_EQ(key.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(key.wParam, static_cast<WPARAM>('Q'));
  EXPECT_EQ(key.lParam & 0xFFFF, 1);  // repeat count
  EXPECT_EQ(nextMessage().message, static_cast<UINT>(WM_PAINT));

  // DefWindowProcA validates; with nothing pending, the next scripted input
  // arrives instead of a wait.
  DispatchMessageA(&key);
  MSG paint{};
  paint.hwnd = window;
  paint.message = WM_PAINT;
  DispatchMessageA(&paint);
  win32::headless::scriptMouseMove(nextCall() + 5, 10, 20, MK_LBUTTON);
  const MSG move = nextMessage();
  EXPECT_EQ(move.message, static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_EQ(move.wParam, static_cast<WPARAM>(MK_LBUTTON));
  EXPECT_EQ(GET_X_LPARAM(move.lParam), 10);
  EXPECT_EQ(GET_Y_LPARAM(move.lParam), 20);
  DestroyWindow(window);
}

TEST(Queue, WaitingWithNothingScriptedIsReportedNotHung) {
  const IsolatedRun run = runIsolated([] {
    const HWND window = makeShownWindow("Stall");
    ValidateRect(window, nullptr);
    MSG message{};
    GetMessageA(&message, nullptr, 0, 0);
  });
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_NE(run.errorOutput.find("never arrive"), std::string::npos);
}

TEST(DefaultProcedure, CloseDestroysAndAltF4OnlyAsksToClose) {
  HWND window = makeShownWindow("CloseRules");
  // Alt+F4 arrives as WM_SYSKEYDOWN; dropped as WM_SYSCOMMAND it closes nothing.
  dropSystemCommands = true;
  SendMessageA(window, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));
  EXPECT_EQ(received, (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSCOMMAND}));
  EXPECT_TRUE(IsWindow(window));
  // F10 opens the window menu, which the procedure also sees first.
  received.clear();
  SendMessageA(window, WM_SYSKEYDOWN, VK_F10, 1);
  EXPECT_EQ(received, (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSCOMMAND}));
  // Passed on, SC_CLOSE becomes WM_CLOSE, which destroys the window.
  dropSystemCommands = false;
  received.clear();
  SendMessageA(window, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));
  EXPECT_EQ(received, (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(GetActiveWindow(), nullptr);

  window = makeShownWindow("CloseRules2");
  win32::headless::scriptCloseRequest(nextCall());
  const MSG close = nextMessage();
  EXPECT_EQ(close.message, static_cast<UINT>(WM_CLOSE));
  DispatchMessageA(&close);
  EXPECT_FALSE(IsWindow(window));
}

TEST(Input, KeysTranslateToCharactersAndAltMakesSystemKeys) {
  const HWND window = makeShownWindow("Keys");
  win32::headless::scriptKeyDown(nextCall(), 'A');
  const MSG press = nextMessage();
  EXPECT_TRUE(TranslateMessage(&press));
  const MSG character = nextMessage();
  EXPECT_EQ(character.message, static_cast<UINT>(WM_CHAR));
  EXPECT_EQ(character.wParam, static_cast<WPARAM>('a'));
  win32::headless::scriptKeyDown(nextCall(), 'X', true);
  win32::headless::scriptKeyUp(nextCall() + 1, 'X', true);
  const MSG systemDown = nextMessage();
  EXPECT_EQ(systemDown.message, static_cast<UINT>(WM_SYSKEYDOWN));
  EXPECT_NE(systemDown.lParam & (1 << 29), 0);
  const MSG systemUp = nextMessage();
  EXPECT_EQ(systemUp.message, static_cast<UINT>(WM_SYSKEYUP));
  EXPECT_NE(static_cast<std::uint32_t>(systemUp.lParam) & 0xC0000000u, 0u);
  win32::headless::scriptKeyDown(nextCall(), VK_F10);
  EXPECT_EQ(nextMessage().message, static_cast<UINT>(WM_SYSKEYDOWN));
  EXPECT_FALSE(TranslateMessage(&systemUp));
  DestroyWindow(window);
}

TEST(Input, PointerMessagesAskForTheCursorFirst) {
  const HWND window = makeShownWindow("Cursor");
  EXPECT_TRUE(win32::headless::cursorVisible());  // the class names the arrow
  win32::headless::scriptMouseMove(nextCall(), 1, 1);
  received.clear();
  EXPECT_EQ(nextMessage().message, static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_EQ(received, (std::vector<UINT>{WM_SETCURSOR}));
  SetCursor(nullptr);
  EXPECT_FALSE(win32::headless::cursorVisible());
  DestroyWindow(window);
}

// Windows that cover the whole screen follow it to a new size; others stay.
TEST(Windows, ScreenSizeChangesCarryFullScreenWindowsAlong) {
  const HWND window = makeShownWindow("Follows");
  const HWND small =
      CreateWindowExA(0, "Follows", "Small", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ValidateRect(window, nullptr);
  win32::headless::resizeScreen(1024, 300);
  RECT rect{};
  GetClientRect(window, &rect);
  EXPECT_EQ(rect.right, 1024);
  EXPECT_EQ(rect.bottom, 300);
  GetClientRect(small, &rect);
  EXPECT_EQ(rect.right, 100);
  EXPECT_EQ(rect.bottom, 100);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  const MSG paint = nextMessage();
  EXPECT_EQ(paint.message, static_cast<UINT>(WM_PAINT));
  EXPECT_EQ(paint.hwnd, window);
}

TEST(Windows, ClassesAndCreationFailures) {
  win32::useHeadlessDisplay(640, 480);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = recordingProc;
  windowClass.lpszClassName = "Twice";
  EXPECT_NE(RegisterClassA(&windowClass), 0);
  windowClass.lpszClassName = "TWICE";  // class names ignore case
  EXPECT_EQ(RegisterClassA(&windowClass), 0);
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  const HWND hidden = CreateWindowExA(0, "twice", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hidden, nullptr);
  EXPECT_FALSE(IsWindowVisible(hidden));  // a popup without WS_VISIBLE starts hidden
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 480);
  DestroyWindow(hidden);
}

TEST(Text, WvsprintfKnownAnswers) {
  struct Case {
    const char* expected;
    const char* format;
  };
  char buffer[1100];
  auto format = [&buffer](const char* text, auto... arguments) {
    wsprintfA(buffer, text, arguments...);
    return std::string(buffer);
  };
  EXPECT_EQ(format("%d|%i|%u", -42, 7, 4000000000u), "-42|7|4000000000");
  EXPECT_EQ(format("%x|%X|%#x|%08X", 255u, 255u, 255u, 0xBEEFu), "ff|FF|0xff|0000BEEF");
  EXPECT_EQ(format("[%5d][%-5d][%05d][%.3d]", 42, 42, -42, 7), "[   42][42   ][-0042][007]");
  EXPECT_EQ(format("%s, file %hs, line %d\n", "expr", "glidesystem.cpp", 23), "expr, file glidesystem.cpp, line 23\n");
  EXPECT_EQ(format("%c%c|%.2s|%-4s|%4s", 'o', 'k', "abc", "ab", "ab"), "ok|ab|ab  |  ab");
  EXPECT_EQ(format("100%% %s", static_cast<const char*>(nullptr)), "100% (null)");
  EXPECT_EQ(format("%ld %lx", 123, 0x10), "123 10");
  EXPECT_EQ(format("%ls", L"wide"), "wide");
  EXPECT_EQ(format("%d", -2147483647 - 1), "-2147483648");
  // Output stops at 1024 characters.
  const std::string longText(2000, 'z');
  EXPECT_EQ(wsprintfA(buffer, "%s", longText.c_str()), 1024);
  EXPECT_EQ(std::string(buffer).size(), 1024u);
  char joined[16] = "ab";
  EXPECT_EQ(lstrcatA(joined, "\r\n"), joined);
  EXPECT_STREQ(joined, "ab\r\n");
}

TEST(Process, CommandLineQuotesArgumentsThatAreEmptyOrHoldBlanks) {
  win32::setCommandLine({"C:\\Program Files\\lumvane.scr", "/s", "two words", "x\ty"});
  EXPECT_STREQ(GetCommandLineA(), "\"C:\\Program Files\\lumvane.scr\" /s \"two words\" \"x\ty\"");
  win32::setCommandLine({"lumvane"});
  EXPECT_STREQ(GetCommandLineA(), "lumvane");
  // An empty argument is quoted, as Windows writes it: an empty program
  // name is still a name, and the tail after it is "/s" (not "" with the
  // name taken to be "/s").
  win32::setCommandLine({"", "/s"});
  EXPECT_STREQ(GetCommandLineA(), "\"\" /s");
  win32::setCommandLine({"lumvane", "", "x"});
  EXPECT_STREQ(GetCommandLineA(), "lumvane \"\" x");
}

// The header of a top-down 32-bit picture.
BITMAPINFO topDownPicture(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// Known answers for a 3x2 picture: top-down, its first row is the top; bottom-up,
// its last. The source y counts from the bottom of the lines given, as on
// Windows: ySource 1 with height 1 of two lines is the top line.
TEST(Gdi, SetDIBitsCopiesOneToOneAndReleasePresents) {
  const HWND window = makeShownWindow("Gdi");
  const std::uint32_t picture[3 * 2] = {0xFF000001u, 0x00000002u, 0x00000003u, 0x00000004u, 0x00000005u, 0x00000006u};
  BITMAPINFO info = topDownPicture(3, 2);
  const HDC context = GetDC(window);
  ASSERT_NE(context, nullptr);
  const auto at = [](int x, int y) { return win32::headless::screenPixels()[static_cast<std::size_t>(y) * 640 + x]; };
  EXPECT_EQ(SetDIBitsToDevice(context, 100, 50, 3, 2, 0, 0, 0, 2, picture, &info, DIB_RGB_COLORS), 2);
  EXPECT_TRUE(PatBlt(context, 101, 50, 1, 1, BLACKNESS));
  ReleaseDC(window, context);
  EXPECT_EQ(at(100, 50), 1u);  // the top byte dropped
  EXPECT_EQ(at(101, 50), 0u);  // blackened
  EXPECT_EQ(at(102, 51), 6u);
  EXPECT_EQ(at(103, 51), 0u);  // outside the destination
  EXPECT_EQ(SetDIBitsToDevice(context, 200, 0, 2, 1, 1, 1, 0, 2, picture, &info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(at(200, 0), 2u);
  EXPECT_EQ(at(201, 0), 3u);
  info.bmiHeader.biHeight = 2;  // bottom-up: the last row in memory is the top
  EXPECT_EQ(SetDIBitsToDevice(context, 300, 0, 3, 2, 0, 0, 0, 2, picture, &info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(at(300, 0), 4u);
  EXPECT_EQ(at(300, 1), 1u);
  // Lines past the picture, other formats and extreme positions draw
  // nothing rather than read outside or overflow.
  EXPECT_EQ(SetDIBitsToDevice(context, 0, 0, 3, 2, 0, 0, 2, 2, picture, &info, DIB_RGB_COLORS), 0);
  BITMAPINFO sixteen = info;
  sixteen.bmiHeader.biBitCount = 16;
  EXPECT_EQ(SetDIBitsToDevice(context, 0, 0, 3, 2, 0, 0, 0, 2, picture, &sixteen, DIB_RGB_COLORS), 0);
  const std::vector<std::uint32_t> before = win32::headless::screenPixels();
  EXPECT_EQ(SetDIBitsToDevice(context, 2147483000, 10, 4000000000u, 5, 0, 0, 0, 2, picture, &info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(SetDIBitsToDevice(context, -2147483000, -5, 4000000000u, 4000000000u, -2147483000, 0, 0, 2, picture, &info,
                              DIB_RGB_COLORS),
            2);
  EXPECT_EQ(win32::headless::screenPixels(), before);
  EXPECT_TRUE(PatBlt(context, 2147483600, 2147483600, 2147483600, 100, BLACKNESS));
  // 5-6-5 words (BI_BITFIELDS with those masks): each channel's bits
  // replicated, 31 to 255 and green 32 to 0x82; read back with GetPixel as
  // 0x00BBGGRR. Other masks are refused.
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } words{{sizeof(BITMAPINFOHEADER), 3, -1, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0}, {0xF800, 0x07E0, 0x001F}};
  const std::uint16_t row[4] = {0x001F, 0x0400, 0xF800, 0x0000};  // three pixels and the row's padding
  const auto* wordsInfo = reinterpret_cast<const BITMAPINFO*>(&words);
  EXPECT_EQ(SetDIBitsToDevice(context, 10, 400, 3, 1, 0, 0, 0, 1, row, wordsInfo, DIB_RGB_COLORS), 1);
  EXPECT_EQ(at(10, 400), 0x000000FFu);
  EXPECT_EQ(at(11, 400), 0x00008200u);
  EXPECT_EQ(at(12, 400), 0x00FF0000u);
  EXPECT_EQ(GetPixel(context, 10, 400), 0x00FF0000u);
  EXPECT_EQ(GetPixel(context, 12, 400), 0x000000FFu);
  EXPECT_EQ(GetPixel(context, 640, 0), CLR_INVALID);
  words.masks[0] = 0x7C00;
  EXPECT_EQ(SetDIBitsToDevice(context, 10, 400, 3, 1, 0, 0, 0, 1, row, wordsInfo, DIB_RGB_COLORS), 0);
  DestroyWindow(window);
}

// A display whose memory takes the bytes R, G, B, A, as the page's canvas.
class CanvasOrderDisplay final : public win32::Display {
 public:
  static constexpr int screenWidth = 10;
  bool open() override { return true; }
  int width() const override { return screenWidth; }
  int height() const override { return 2; }
  void setWindowShown(bool, const std::string&) override {}
  void setCursorVisible(bool) override {}
  bool collectInput(std::deque<win32::InputEvent>&, bool wait) override { return !wait; }
  Memory screenMemory() override { return {pixels.data(), screenWidth, PixelOrder::rgba}; }
  bool present(const std::vector<RECT>&) override { return true; }
  int messageBox(HWND, const char*, const char*, UINT) override { return IDOK; }
  std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(2 * screenWidth, 0);
};

// On a display in the canvas's order GDI writes each pixel's bytes R, G, B
// and 255, from 32-bit pixels (whatever their top byte) and from 5-6-5
// words (channels replicated: 16 of 31 is 0x84, 32 of 63 is 0x82), nine a
// row so that both the vector steps and the rest are taken; PatBlt's black
// is opaque, and GetPixel still answers 0x00BBGGRR. Bytes by hand.
TEST(Gdi, CanvasOrderDisplayGetsBytesRGBA) {
  auto owned = std::make_unique<CanvasOrderDisplay>();
  CanvasOrderDisplay& display = *owned;
  win32::useDisplay(std::move(owned));
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = recordingProc;
  windowClass.lpszClassName = "GdiCanvas";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  const HWND window = CreateWindowExA(0, "GdiCanvas", "Test", WS_POPUP, 0, 0, 10, 2, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  const HDC context = GetDC(window);
  using Bytes = std::array<std::uint8_t, 4>;
  const auto bytesAt = [&](int x, int y) {
    Bytes bytes;
    std::memcpy(bytes.data(), &display.pixels[static_cast<std::size_t>(y) * 10 + x], sizeof bytes);
    return bytes;
  };
  std::uint32_t pixels[9];
  for (std::uint32_t i = 0; i < 9; ++i) pixels[i] = 0xAB000000u | i << 16 | (0x40 + i) << 8 | (0x80 + i);
  const BITMAPINFO info = topDownPicture(9, 1);
  EXPECT_EQ(SetDIBitsToDevice(context, 0, 0, 9, 1, 0, 0, 0, 1, pixels, &info, DIB_RGB_COLORS), 1);
  for (std::uint8_t i = 0; i < 9; ++i) {
    EXPECT_EQ(bytesAt(i, 0), (Bytes{i, static_cast<std::uint8_t>(0x40 + i), static_cast<std::uint8_t>(0x80 + i), 0xFF}))
        << "pixel " << int{i};
  }
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } words{{sizeof(BITMAPINFOHEADER), 10, -1, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0}, {0xF800, 0x07E0, 0x001F}};
  const std::uint16_t row[10] = {0x001F, 0x0400, 0xF800, 0xFFFF, 0x0000, 0x8410, 0x0821, 0x7BEF, 0x001F, 0};
  const Bytes expected[9] = {{0, 0, 0xFF, 0xFF},       {0, 0x82, 0, 0xFF}, {0xFF, 0, 0, 0xFF},
                             {0xFF, 0xFF, 0xFF, 0xFF}, {0, 0, 0, 0xFF},    {0x84, 0x82, 0x84, 0xFF},
                             {8, 4, 8, 0xFF},          {0x7B, 0x7D, 0x7B, 0xFF}, {0, 0, 0xFF, 0xFF}};
  EXPECT_EQ(SetDIBitsToDevice(context, 0, 1, 9, 1, 0, 0, 0, 1, row, reinterpret_cast<const BITMAPINFO*>(&words),
                              DIB_RGB_COLORS),
            1);
  for (int x = 0; x < 9; ++x) {
    EXPECT_EQ(bytesAt(x, 1), expected[x]) << "word " << x;
  }
  EXPECT_EQ(GetPixel(context, 0, 1), 0x00FF0000u);
  EXPECT_EQ(GetPixel(context, 2, 1), 0x000000FFu);
  EXPECT_EQ(GetPixel(context, 3, 0), 0x00834303u);
  EXPECT_TRUE(PatBlt(context, 3, 1, 1, 1, BLACKNESS));
  EXPECT_EQ(bytesAt(3, 1), (Bytes{0, 0, 0, 0xFF}));
  ReleaseDC(window, context);
  DestroyWindow(window);
}

// A clip region of rectangles: drawing lands only inside them, each part
// placed as the whole picture is, so a picture drawn through a clip region
// matches the same picture drawn at once wherever the region lets it in.
// The clip box is the region's box within the window.
TEST(Gdi, ClipRegionsLimitDrawingWithoutMovingThePicture) {
  const HWND window = makeShownWindow("GdiClip");
  std::vector<std::uint32_t> picture(100 * 61);
  for (std::uint32_t i = 0; i < picture.size(); ++i) {
    picture[i] = 0x00010203u * (i + 1) & 0x00FFFFFFu;
  }
  const BITMAPINFO info = topDownPicture(100, 61);
  const auto stretch = [&](HDC context) {
    return SetDIBitsToDevice(context, 3, 4, 100, 61, 0, 0, 0, 61, picture.data(), &info, DIB_RGB_COLORS);
  };
  HDC context = GetDC(window);
  PatBlt(context, 0, 0, 640, 480, BLACKNESS);
  stretch(context);
  ReleaseDC(window, context);
  const std::vector<std::uint32_t> whole = win32::headless::screenPixels();

  // Two overlapping rectangles, one reaching outside the window, and an
  // empty one that is dropped.
  const RECT rects[3] = {{10, 10, 40, 30}, {30, 20, 50, 50}, {60, 60, 60, 70}};
  std::vector<unsigned char> data(sizeof(RGNDATAHEADER) + sizeof rects);
  RGNDATAHEADER header{sizeof(RGNDATAHEADER), RDH_RECTANGLES, 3, 0, {10, 10, 60, 70}};
  std::memcpy(data.data(), &header, sizeof header);
  std::memcpy(data.data() + sizeof header, rects, sizeof rects);
  const auto* regionData = reinterpret_cast<const RGNDATA*>(data.data());
  const HRGN region = ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), regionData);
  ASSERT_NE(region, nullptr);
  // More rectangles than the bytes hold, or a transform, are refused.
  EXPECT_EQ(ExtCreateRegion(nullptr, static_cast<DWORD>(data.size() - 1), regionData), nullptr);
  EXPECT_EQ(ExtCreateRegion(reinterpret_cast<const XFORM*>(regionData), static_cast<DWORD>(data.size()), regionData),
            nullptr);

  context = GetDC(window);
  RECT box{};
  EXPECT_EQ(GetClipBox(context, &box), SIMPLEREGION);
  EXPECT_TRUE(box.left == 0 && box.top == 0 && box.right == 640 && box.bottom == 480);
  EXPECT_TRUE(PatBlt(context, 0, 0, 640, 480, BLACKNESS));
  EXPECT_EQ(SelectClipRgn(context, region), COMPLEXREGION);
  EXPECT_EQ(GetClipBox(context, &box), COMPLEXREGION);
  EXPECT_TRUE(box.left == 10 && box.top == 10 && box.right == 50 && box.bottom == 50);
  EXPECT_TRUE(DeleteObject(region));  // the context keeps its own copy
  EXPECT_FALSE(DeleteObject(region));
  EXPECT_EQ(SelectClipRgn(context, region), ERROR);
  stretch(context);
  EXPECT_TRUE(PatBlt(context, 0, 0, 640, 480, BLACKNESS) && PatBlt(context, 0, 0, 640, 480, BLACKNESS));
  stretch(context);
  ReleaseDC(window, context);
  std::vector<std::uint32_t> screen = win32::headless::screenPixels();
  int inside = 0, wrong = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const bool clipped = (x >= 10 && x < 40 && y >= 10 && y < 30) || (x >= 30 && x < 50 && y >= 20 && y < 50);
      const std::size_t at = static_cast<std::size_t>(y) * 640 + x;
      inside += clipped;
      wrong += screen[at] != (clipped ? whole[at] : 0u);
    }
  }
  EXPECT_EQ(inside, 30 * 20 + 20 * 30 - 10 * 10);
  EXPECT_EQ(wrong, 0);

  // Selecting none, or a fresh context, draws everywhere again.
  context = GetDC(window);
  stretch(context);
  ReleaseDC(window, context);
  EXPECT_EQ(win32::headless::screenPixels(), whole);
  DestroyWindow(window);
}

// A clip region of the rectangles, selected into the context.
void selectRectangles(HDC context, const std::vector<RECT>& rects) {
  std::vector<unsigned char> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  RGNDATAHEADER header{sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(rects.size()), 0, {0, 0, 0, 0}};
  std::memcpy(data.data(), &header, sizeof header);
  if (!rects.empty()) {
    std::memcpy(data.data() + sizeof header, rects.data(), rects.size() * sizeof(RECT));
  }
  const HRGN region =
      ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<const RGNDATA*>(data.data()));
  SelectClipRgn(context, region);
  DeleteObject(region);
}

// Pictures of random geometry through random clip regions: top-down and
// bottom-up, parts of their lines, partly off the picture and the window.
// Checked against the rule written here: with sourceTop = startScan + lines
// - (ySource + height), screen pixel (x, y) inside the destination, the
// window and a clip rectangle shows column xSource + (x - xDest) of line
// sourceTop + (y - yDest) of the lines given, when both lie inside the
// picture and the lines (lines count from the top of the band for a
// top-down picture, from its bottom in memory otherwise), without its top
// byte; every other pixel keeps what it had.
TEST(Gdi, SetDIBitsMatchesThePlainRuleThroughClipRegions) {
  const HWND window = makeShownWindow("GdiRule");
  std::mt19937 random(29);
  int faults = 0, drawn = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const int imageWidth = 1 + static_cast<int>(random() % 300), imageHeight = 1 + static_cast<int>(random() % 60);
    std::vector<std::uint32_t> image(static_cast<std::size_t>(imageWidth) * imageHeight);
    for (std::uint32_t& pixel : image) pixel = static_cast<std::uint32_t>(random());
    const bool topDown = random() % 2 == 0;
    const UINT startScan = static_cast<UINT>(random() % imageHeight);
    const UINT lines = 1 + static_cast<UINT>(random() % (imageHeight - startScan));
    const int xSource = static_cast<int>(random() % (imageWidth + 20)) - 10;
    const int ySource = static_cast<int>(random() % (imageHeight + 20)) - 10;
    const DWORD width = 1 + random() % 320, height = 1 + random() % 80;
    const int xDest = static_cast<int>(random() % 800) - 200, yDest = static_cast<int>(random() % 600) - 100;
    BITMAPINFO info = topDownPicture(imageWidth, imageHeight);
    if (!topDown) info.bmiHeader.biHeight = imageHeight;
    std::vector<RECT> clip;
    for (int i = static_cast<int>(random() % 6); i > 0; --i) {
      const LONG left = static_cast<LONG>(random() % 700) - 30, top = static_cast<LONG>(random() % 520) - 20;
      clip.push_back({left, top, left + static_cast<LONG>(random() % 90), top + static_cast<LONG>(random() % 60)});
    }
    const bool clipped = trial % 4 != 0;
    const long long sourceTop = static_cast<long long>(startScan) + lines - (ySource + static_cast<long long>(height));
    std::vector<std::uint32_t> expected = win32::headless::screenPixels();
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) {
        bool inClip = !clipped;
        for (const RECT& r : clip) inClip |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        const long long column = xSource + static_cast<long long>(x - xDest);
        const long long line = sourceTop + (y - yDest);
        if (!inClip || x < xDest || x >= xDest + static_cast<long long>(width) || y < yDest ||
            y >= yDest + static_cast<long long>(height) || column < 0 || column >= imageWidth || line < 0 ||
            line >= lines) {
          continue;
        }
        const long long memoryRow = topDown ? line : lines - 1 - line;
        expected[static_cast<std::size_t>(y) * 640 + x] =
            image[static_cast<std::size_t>(memoryRow * imageWidth + column)] & 0x00FFFFFFu;
      }
    }
    const HDC context = GetDC(window);
    if (clipped) selectRectangles(context, clip);
    drawn += SetDIBitsToDevice(context, xDest, yDest, width, height, xSource, ySource, startScan, lines, image.data(),
                               &info, DIB_RGB_COLORS) == static_cast<int>(lines);
    ReleaseDC(window, context);
    const std::vector<std::uint32_t> screen = win32::headless::screenPixels();
    faults += screen != expected;
  }
  EXPECT_EQ(faults, 0);
  EXPECT_EQ(drawn, 300);
}

}  // namespace
