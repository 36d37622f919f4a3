// The screen in memory shared with the X server: a connection of its own
// beside SDL's (so that SDL's event loop never takes the completion events),
// one MIT-SHM image of the screen's size, XShmPutImage requests for the
// changed areas. On a server or a client that cannot share memory (another
// machine's display, a server without the extension) it is not used.
#include "sdl_shm.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <utility>

#include "sdl_x11.h"

namespace win32::sdl {

struct SharedScreen::Connection {
  ::Display* display = nullptr;
  ::Window window = 0;
  Visual* visual = nullptr;
  int depth = 0;
  GC gc = nullptr;
  int completionType = 0;
  XImage* image = nullptr;
  XShmSegmentInfo segment{};
  bool pending = false;  // a put whose completion has not been seen
  std::vector<SDL_Rect> inside;  // the areas of a put within the image
};

namespace {

bool attachRefused = false;

int noteAttachRefused(::Display*, XErrorEvent*) {
  attachRefused = true;
  return 0;
}

// The process's handler for a lost server (sdl_x11.cpp's) reports it; then
// this connection returns from its calls instead of ending the process.
void returnFromLostConnection(::Display*, void*) {}

// Takes the events that arrived, noting a completion; waits up to a second
// for the one asked for last. A server that takes longer is not waited for:
// drawing over what it still reads would only show for a frame.
void awaitCompletion(SharedScreen::Connection& connection) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (connection.pending && !lostDisplay()) {
    while (XPending(connection.display) > 0 && !lostDisplay()) {
      XEvent event;
      XNextEvent(connection.display, &event);
      if (event.type == connection.completionType) {
        connection.pending = false;
      }
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (!connection.pending || left.count() <= 0) {
      break;
    }
    pollfd wait{ConnectionNumber(connection.display), POLLIN, 0};
    poll(&wait, 1, static_cast<int>(left.count()));
  }
  connection.pending = false;
}

void dropImage(SharedScreen::Connection& connection) {
  if (connection.image == nullptr) {
    return;
  }
  awaitCompletion(connection);
  XShmDetach(connection.display, &connection.segment);
  connection.image->data = nullptr;  // the segment's, detached below
  XDestroyImage(connection.image);
  connection.image = nullptr;
  shmdt(connection.segment.shmaddr);
  connection.segment = {};
}

// A segment removed as soon as it is attached: the system frees it when
// this process and the server have both let go, however the process ends.
bool makeImage(SharedScreen::Connection& connection, int width, int height) {
  XImage* image = XShmCreateImage(connection.display, connection.visual, static_cast<unsigned>(connection.depth),
                                  ZPixmap, nullptr, &connection.segment, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height));
  if (image == nullptr) {
    return false;
  }
  const bool wordsAsTheyAre = image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                              std::endian::native == std::endian::little;
  const std::size_t bytes = static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height);
  connection.segment.shmid = wordsAsTheyAre ? shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600) : -1;
  if (connection.segment.shmid < 0) {
    XDestroyImage(image);
    connection.segment = {};
    return false;
  }
  void* memory = shmat(connection.segment.shmid, nullptr, 0);
  if (memory == reinterpret_cast<void*>(-1)) {
    shmctl(connection.segment.shmid, IPC_RMID, nullptr);
    XDestroyImage(image);
    connection.segment = {};
    return false;
  }
  connection.segment.shmaddr = image->data = static_cast<char*>(memory);
  connection.segment.readOnly = False;
  attachRefused = false;
  const auto previous = XSetErrorHandler(noteAttachRefused);
  const Status attached = XShmAttach(connection.display, &connection.segment);
  XSync(connection.display, False);
  XSetErrorHandler(previous);
  shmctl(connection.segment.shmid, IPC_RMID, nullptr);
  if (!attached || attachRefused || lostDisplay()) {
    image->data = nullptr;
    XDestroyImage(image);
    shmdt(memory);
    connection.segment = {};
    return false;
  }
  connection.image = image;
  return true;
}

}  // namespace

SharedScreen::SharedScreen(std::unique_ptr<Connection> connection) : connection_(std::move(connection)) {}

// A lost connection is left as it is: any call on it could only fail.
SharedScreen::~SharedScreen() {
  Connection& connection = *connection_;
  if (lostDisplay()) {
    if (connection.image != nullptr) {
      shmdt(connection.segment.shmaddr);
    }
    return;
  }
  dropImage(connection);
  XFreeGC(connection.display, connection.gc);
  XCloseDisplay(connection.display);
}

std::unique_ptr<SharedScreen> SharedScreen::open(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (lostDisplay() || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
    return nullptr;
  }
  ::Display* display = openXDisplay(DisplayString(info.info.x11.display));
  if (display == nullptr) {
    return nullptr;
  }
  XSetIOErrorExitHandler(display, returnFromLostConnection, nullptr);
  auto connection = std::make_unique<Connection>();
  connection->display = display;
  connection->window = info.info.x11.window;
  XWindowAttributes attributes{};
  const bool usable = XShmQueryExtension(display) && XGetWindowAttributes(display, connection->window, &attributes) &&
                      (attributes.visual->c_class == TrueColor || attributes.visual->c_class == DirectColor) &&
                      attributes.visual->red_mask == 0xFF0000 && attributes.visual->green_mask == 0x00FF00 &&
                      attributes.visual->blue_mask == 0x0000FF;
  if (!usable || lostDisplay()) {
    XCloseDisplay(display);
    return nullptr;
  }
  connection->visual = attributes.visual;
  connection->depth = attributes.depth;
  connection->completionType = XShmGetEventBase(display) + ShmCompletion;
  // A put makes no exposure events: nothing would take them.
  XGCValues values{};
  values.graphics_exposures = False;
  connection->gc = XCreateGC(display, connection->window, GCGraphicsExposures, &values);
  // One image at once tells whether memory can be shared at all.
  if (!makeImage(*connection, std::max(attributes.width, 1), std::max(attributes.height, 1))) {
    XFreeGC(display, connection->gc);
    XCloseDisplay(display);
    return nullptr;
  }
  return std::unique_ptr<SharedScreen>(new SharedScreen(std::move(connection)));
}

std::uint32_t* SharedScreen::pixels(int width, int height, std::size_t& pitch) {
  Connection& connection = *connection_;
  awaitCompletion(connection);
  if (connection.image == nullptr || connection.image->width != width || connection.image->height != height) {
    dropImage(connection);
    if (width <= 0 || height <= 0 || lostDisplay() || !makeImage(connection, width, height)) {
      return nullptr;
    }
  }
  pitch = static_cast<std::size_t>(connection.image->bytes_per_line) / 4;
  return reinterpret_cast<std::uint32_t*>(connection.image->data);
}

bool SharedScreen::put(const std::vector<SDL_Rect>& areas) {
  Connection& connection = *connection_;
  if (lostDisplay() || connection.image == nullptr) {
    return false;
  }
  // Only what the image holds: a window that has just grown has a larger
  // screen only once something is drawn at its new size.
  std::vector<SDL_Rect>& inside = connection.inside;
  inside.clear();
  for (const SDL_Rect& area : areas) {
    const int left = std::max(area.x, 0), top = std::max(area.y, 0);
    const int right = std::min(area.x + area.w, connection.image->width);
    const int bottom = std::min(area.y + area.h, connection.image->height);
    if (left < right && top < bottom) {
      inside.push_back({left, top, right - left, bottom - top});
    }
  }
  for (std::size_t i = 0; i < inside.size(); ++i) {
    const SDL_Rect& area = inside[i];
    XShmPutImage(connection.display, connection.window, connection.gc, connection.image, area.x, area.y, area.x,
                 area.y, static_cast<unsigned>(area.w), static_cast<unsigned>(area.h), i + 1 == inside.size());
  }
  XFlush(connection.display);
  connection.pending = !inside.empty();
  return !lostDisplay();
}

}  // namespace win32::sdl
