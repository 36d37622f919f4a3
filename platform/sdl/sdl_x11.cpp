// The X server beneath the SDL display: visual choice, a lost connection,
// key events SDL does not translate, and adopted windows.
#include "sdl_x11.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <unistd.h>

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sdl_keys.h"

namespace win32::sdl {
namespace {

bool connectionLost = false;
pid_t watcher = 0;  // the process that watches (not a child forked from it)
std::bitset<256> unnamedDown;  // X key codes pressed that SDL could not name

// Xlib calls this once the connection is gone; the exit handler that
// follows returns instead of ending the process, and every later call on
// the dead connection returns at once.
int reportLostConnection(::Display*) {
  if (!connectionLost && getpid() == watcher) {
    std::fputs("win32: the connection to the X server was lost\n", stderr);
  }
  connectionLost = true;
  return 0;
}

void keepRunning(::Display*, void*) {
  connectionLost = true;
}

}  // namespace

bool onX11() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver != nullptr && std::strcmp(driver, "x11") == 0;
}

namespace {

// The server's connection under SDL's window, or null when it is not X11.
::Display* connectionOf(SDL_Window* window, Window* xWindow = nullptr) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
    return nullptr;
  }
  if (xWindow != nullptr) {
    *xWindow = info.info.x11.window;
  }
  return info.info.x11.display;
}

// Where the default visual maps pixels through a colour map (8-bit
// screens), a true-colour visual of the screen, whose pixels are colours.
XVisualInfo trueColorVisual(::Display* display, int screen) {
  XVisualInfo chosen{};
  chosen.visual = DefaultVisual(display, screen);
  chosen.depth = DefaultDepth(display, screen);
  XVisualInfo wanted{};
  wanted.visualid = XVisualIDFromVisual(chosen.visual);
  int count = 0;
  XVisualInfo* found = XGetVisualInfo(display, VisualIDMask, &wanted, &count);
  const bool trueColor = found != nullptr && count > 0 && found[0].c_class == TrueColor;
  if (found != nullptr) {
    XFree(found);
  }
  XVisualInfo best{};
  if (!trueColor && (XMatchVisualInfo(display, screen, 24, TrueColor, &best) ||
                     XMatchVisualInfo(display, screen, DefaultDepth(display, screen), TrueColor, &best) ||
                     XMatchVisualInfo(display, screen, 16, TrueColor, &best) ||
                     XMatchVisualInfo(display, screen, 8, TrueColor, &best))) {
    chosen = best;
  }
  return chosen;
}

constexpr long notForSdl = FocusChangeMask | EnterWindowMask | LeaveWindowMask | KeymapStateMask;

struct Screen {
  Window root = 0;  // of the saver's own window, whose size it follows
  bool grabbed = false;
  bool held = false;  // the window is up and no box needs the screen
  Uint32 lastTry = 0;
};
Screen screenState;

}  // namespace

std::uint32_t createSaverWindow(SDL_Window* probe, int& width, int& height) {
  ::Display* display = connectionOf(probe);
  if (display == nullptr) {
    return 0;
  }
  const int screen = DefaultScreen(display);
  const XVisualInfo visual = trueColorVisual(display, screen);
  const Window root = RootWindow(display, screen);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixel = 0;
  attributes.border_pixel = 0;
  attributes.colormap = visual.visual == DefaultVisual(display, screen)
                            ? DefaultColormap(display, screen)
                            : XCreateColormap(display, root, visual.visual, AllocNone);
  attributes.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                          ExposureMask | VisibilityChangeMask | StructureNotifyMask | PropertyChangeMask;
  width = DisplayWidth(display, screen);
  height = DisplayHeight(display, screen);
  const Window window =
      XCreateWindow(display, root, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0, visual.depth,
                    InputOutput, visual.visual, CWOverrideRedirect | CWBackPixel | CWBorderPixel | CWColormap | CWEventMask,
                    &attributes);
  XStoreName(display, window, "Lumvane");
  // The screen's changes of size (RandR's) arrive as the root window's
  // ConfigureNotify, beside what SDL selected there.
  XWindowAttributes rootAttributes{};
  XGetWindowAttributes(display, root, &rootAttributes);
  XSelectInput(display, root, rootAttributes.your_event_mask | StructureNotifyMask);
  screenState.root = root;
  XFlush(display);
  return static_cast<std::uint32_t>(window);
}

void holdScreen(SDL_Window* window) {
  Window xWindow = 0;
  ::Display* display = connectionLost ? nullptr : connectionOf(window, &xWindow);
  if (display == nullptr) {
    return;
  }
  if (!screenState.held) {
    // The events SDL selected for the window it adopted, and ours beside
    // them, but for the changes of focus and the pointer's crossings: SDL
    // gives the keyboard back whenever it sees one (its grab follows its
    // focus), and among windows that no manager looks after the focus moves
    // with the pointer.
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, xWindow, &attributes);
    XSelectInput(display, xWindow, (attributes.your_event_mask | VisibilityChangeMask) & ~notForSdl);
    screenState.held = true;
  }
  const Uint32 now = SDL_GetTicks();
  if (screenState.grabbed || (screenState.lastTry != 0 && now - screenState.lastTry < 250)) {
    return;
  }
  screenState.lastTry = now != 0 ? now : 1;
  screenState.grabbed =
      XGrabKeyboard(display, xWindow, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
  if (screenState.grabbed) {
    XRaiseWindow(display, xWindow);
    XFlush(display);
  }
}

void keyboardMayBeFree() {
  screenState.grabbed = false;
  screenState.lastTry = 0;
}

void releaseScreen(SDL_Window* window) {
  ::Display* display = connectionLost ? nullptr : connectionOf(window);
  if (display != nullptr && screenState.grabbed) {
    XUngrabKeyboard(display, CurrentTime);
    XFlush(display);
  }
  const Window root = screenState.root;
  screenState = {};
  screenState.root = root;
}

bool screenEvent(SDL_Window* window, const SDL_SysWMmsg& message) {
  if (message.subsystem != SDL_SYSWM_X11) {
    return false;
  }
  const XEvent& event = message.msg.x11.event;
  Window xWindow = 0;
  ::Display* display = connectionLost ? nullptr : connectionOf(window, &xWindow);
  if (event.type == ConfigureNotify && event.xconfigure.window == screenState.root && screenState.root != 0) {
    // The window covers the screen at its new size; SDL then reports the
    // window's new size, which the display follows.
    if (display != nullptr && event.xconfigure.width > 0 && event.xconfigure.height > 0) {
      XMoveResizeWindow(display, xWindow, 0, 0, static_cast<unsigned>(event.xconfigure.width),
                        static_cast<unsigned>(event.xconfigure.height));
      XFlush(display);
    }
    return true;
  }
  if (event.type != VisibilityNotify) {
    return false;
  }
  const XVisibilityEvent& visibility = message.msg.x11.event.xvisibility;
  if (display != nullptr && visibility.window == xWindow && visibility.state != VisibilityUnobscured &&
      screenState.grabbed && screenState.held) {
    XRaiseWindow(display, xWindow);
    XFlush(display);
  }
  return true;
}

namespace {

// A channel of 8 bits scaled to the bits of mask, in place.
unsigned long channel(std::uint32_t level, unsigned long mask) {
  if (mask == 0) {
    return 0;
  }
  const int shift = __builtin_ctzl(mask);
  const unsigned long maximum = mask >> shift;
  return ((level * maximum + 127) / 255) << shift;
}

}  // namespace

namespace {

bool mapsThroughColormap(const Visual& visual) {
  return visual.c_class == PseudoColor || visual.c_class == StaticColor || visual.c_class == GrayScale ||
         visual.c_class == StaticGray;
}

// A window whose pixels index a colour map: for each colour of 5 bits a
// channel, the pixel of the map's nearest colour, after a cube of 6 levels
// a channel has been asked for in the map (read-only cells, shared with
// whoever wants the same colours; a full map gives what it has).
struct Palette {
  Colormap map = 0;
  std::vector<unsigned long> nearest;
};
Palette palette;

const std::vector<unsigned long>& nearestColours(::Display* display, const XWindowAttributes& attributes) {
  if (palette.map == attributes.colormap && !palette.nearest.empty()) {
    return palette.nearest;
  }
  if (attributes.visual->c_class == PseudoColor || attributes.visual->c_class == GrayScale) {
    for (int level = 0; level < 6 * 6 * 6; ++level) {
      XColor colour{};
      colour.red = static_cast<unsigned short>(level / 36 * 65535 / 5);
      colour.green = static_cast<unsigned short>(level / 6 % 6 * 65535 / 5);
      colour.blue = static_cast<unsigned short>(level % 6 * 65535 / 5);
      colour.flags = DoRed | DoGreen | DoBlue;
      XAllocColor(display, attributes.colormap, &colour);
    }
  }
  const int entries = std::clamp(attributes.visual->map_entries, 1, 4096);
  std::vector<XColor> cells(static_cast<std::size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    cells[i].pixel = static_cast<unsigned long>(i);
  }
  XQueryColors(display, attributes.colormap, cells.data(), entries);
  palette.map = attributes.colormap;
  palette.nearest.assign(32768, 0);
  for (int colour = 0; colour < 32768; ++colour) {
    const long red = (colour >> 10) * 255 / 31;
    const long green = (colour >> 5 & 31) * 255 / 31;
    const long blue = (colour & 31) * 255 / 31;
    long best = -1;
    for (const XColor& cell : cells) {
      const long dr = red - (cell.red >> 8), dg = green - (cell.green >> 8), db = blue - (cell.blue >> 8);
      const long distance = dr * dr + dg * dg + db * db;
      if (best < 0 || distance < best) {
        best = distance;
        palette.nearest[static_cast<std::size_t>(colour)] = cell.pixel;
      }
    }
  }
  return palette.nearest;
}

// The pixel of the window's visual for a colour 0x00RRGGBB.
struct PixelOf {
  const Visual& visual;
  const std::vector<unsigned long>* nearest;  // for a visual with a colour map
  unsigned long operator()(std::uint32_t colour) const {
    if (nearest != nullptr) {
      return (*nearest)[(colour >> 9 & 0x7C00) | (colour >> 6 & 0x03E0) | (colour >> 3 & 0x001F)];
    }
    return channel(colour >> 16 & 0xFF, visual.red_mask) | channel(colour >> 8 & 0xFF, visual.green_mask) |
           channel(colour & 0xFF, visual.blue_mask);
  }
};

}  // namespace

bool needsPutPicture(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  XWindowAttributes attributes;
  return !connectionLost && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11 &&
         XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes) &&
         mapsThroughColormap(*attributes.visual);
}

bool putPicture(SDL_Window* window, const std::uint32_t* pixels, std::size_t pitch, const SDL_Rect& rect) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (connectionLost || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
    return false;
  }
  ::Display* display = info.info.x11.display;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, info.info.x11.window, &attributes)) {
    return false;
  }
  const Visual& visual = *attributes.visual;
  const bool mapped = mapsThroughColormap(visual);
  if (!mapped && visual.c_class != TrueColor && visual.c_class != DirectColor) {
    return false;
  }
  const PixelOf pixelOf{visual, mapped ? &nearestColours(display, attributes) : nullptr};
  XImage* image = XCreateImage(display, attributes.visual, static_cast<unsigned>(attributes.depth), ZPixmap, 0,
                               nullptr, static_cast<unsigned>(rect.w), static_cast<unsigned>(rect.h), 32, 0);
  if (image == nullptr) {
    return false;
  }
  std::vector<char> data(static_cast<std::size_t>(image->bytes_per_line) * rect.h);
  image->data = data.data();
  for (int y = 0; y < rect.h; ++y) {
    const std::uint32_t* row = pixels + static_cast<std::size_t>(rect.y + y) * pitch + rect.x;
    for (int x = 0; x < rect.w; ++x) {
      XPutPixel(image, x, y, pixelOf(row[x]));
    }
  }
  XPutImage(display, info.info.x11.window, DefaultGC(display, DefaultScreen(display)), image, 0, 0, rect.x, rect.y,
            static_cast<unsigned>(rect.w), static_cast<unsigned>(rect.h));
  image->data = nullptr;  // the vector's
  XDestroyImage(image);
  XFlush(display);
  return !connectionLost;
}

void surviveLostDisplay(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!onX11() || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
    return;
  }
  watcher = getpid();
  XSetIOErrorHandler(reportLostConnection);
  XSetIOErrorExitHandler(info.info.x11.display, keepRunning, nullptr);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

bool lostDisplay() {
  return connectionLost;
}

std::optional<InputEvent> unnamedKey(const SDL_SysWMmsg& message, const SDL_Event* next) {
  if (message.subsystem != SDL_SYSWM_X11) {
    return std::nullopt;
  }
  XEvent event = message.msg.x11.event;
  if (event.type != KeyPress && event.type != KeyRelease) {
    return std::nullopt;
  }
  // A press SDL knew is followed by its SDL_KEYDOWN (a repeat too). SDL
  // also swallows the release of an auto-repeat, so a release counts only
  // for a key whose press was unnamed.
  const bool release = event.type == KeyRelease;
  const unsigned keycode = event.xkey.keycode & 0xFFu;
  if (release ? !unnamedDown.test(keycode) : next != nullptr && next->type == SDL_KEYDOWN) {
    return std::nullopt;
  }
  unnamedDown.set(keycode, !release);
  const UINT key = virtualKeyOfKeysym(XLookupKeysym(&event.xkey, 0));
  return keyMessage(key, keycode, release, (event.xkey.state & Mod1Mask) != 0);
}

namespace {

std::uint32_t adoptedWindow = 0;
bool windowMissing = false;

int noteMissingWindow(::Display*, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable) {
    windowMissing = true;
  }
  return 0;
}

// Once drawing has begun, an error about the adopted window means that the
// daemon has destroyed it: nothing is left to draw on. Other errors (a
// request the daemon's own selection refuses, say) change nothing here.
int endWhenWindowIsGone(::Display*, XErrorEvent* error) {
  if ((error->error_code == BadWindow || error->error_code == BadDrawable) && error->resourceid == adoptedWindow) {
    const char message[] = "win32: the window to draw in is gone\n";
    (void)!write(STDERR_FILENO, message, sizeof message - 1);
    std::_Exit(1);
  }
  return 0;
}

}  // namespace

::Display* openXDisplay(const char* name) {
  for (int attempt = 0;; ++attempt) {
    if (::Display* display = XOpenDisplay(name)) {
      return display;
    }
    if (attempt == 4) {
      return nullptr;
    }
    usleep(100'000);
  }
}

std::uint32_t checkForeignWindow(std::uint32_t window, std::string& problem) {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    problem = "cannot open the X display: DISPLAY is not set";
    return window;
  }
  const std::string displayName = name;
  ::Display* connection = openXDisplay(nullptr);
  if (connection == nullptr) {
    problem = "cannot open the X display '" + displayName + "'";
    return window;
  }
  if (window == 0) {
    window = static_cast<std::uint32_t>(DefaultRootWindow(connection));
  }
  windowMissing = false;
  const auto previous = XSetErrorHandler(noteMissingWindow);
  XWindowAttributes attributes{};
  const Status found = XGetWindowAttributes(connection, window, &attributes);
  XSync(connection, False);
  XSetErrorHandler(previous);
  const int windowClass = attributes.c_class;
  XCloseDisplay(connection);
  char id[16];
  std::snprintf(id, sizeof id, "0x%x", window);
  if (found == 0 || windowMissing) {
    problem = std::string("there is no window ") + id + " on the X display '" + displayName + "'";
  } else if (windowClass != InputOutput) {
    problem = std::string("the window ") + id + " cannot be drawn in (it is input-only)";
  }
  return window;
}

void adoptingWindow(std::uint32_t window) {
  adoptedWindow = window;
  XSetErrorHandler(endWhenWindowIsGone);
}

// The daemon owns the keyboard and the pointer: of the window's events this
// connection takes only its changes of size and its exposures.
void keepInputAway(void* connection, std::uint32_t window) {
  XSelectInput(static_cast<::Display*>(connection), window, StructureNotifyMask | ExposureMask);
}

}  // namespace win32::sdl
