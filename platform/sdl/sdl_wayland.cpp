// The screen in buffers shared with a Wayland compositor: two buffers of the
// screen's size in one memory file, on an event queue of our own beside
// SDL's (so that SDL's event loop never takes their release events). GDI
// draws into the one the compositor let go of, brought up to date first with
// the areas shown from the other since; the changed areas are damaged and
// the buffer committed to SDL's surface, with no round trip.
#include "sdl_wayland.h"

#include <SDL_syswm.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <utility>

namespace win32::sdl {

struct WaylandScreen::Connection {
  struct Buffer {
    wl_buffer* buffer = nullptr;
    std::uint32_t* pixels = nullptr;
    bool busy = false;  // attached, and not yet released by the compositor
    // Areas shown from the other buffer since this one was shown: where it
    // no longer holds the picture.
    std::vector<SDL_Rect> stale;
  };

  wl_display* display = nullptr;
  wl_surface* surface = nullptr;
  wl_event_queue* queue = nullptr;
  wl_registry* registry = nullptr;
  wl_shm* shm = nullptr;
  std::array<Buffer, 2> buffers;
  void* memory = nullptr;
  std::size_t bytes = 0;
  int width = 0;
  int height = 0;
  int drawing = 0;  // the buffer pixels() gave
  int shown = -1;   // the buffer attached last, -1 before the first
  bool wholeNext = true;  // a new buffer, or one not attached while hidden
  std::string failure;
  bool gone = false;             // the compositor closed the connection
  std::vector<SDL_Rect> inside;  // the areas of a put within the buffer
};

namespace {

using Connection = WaylandScreen::Connection;

// Beyond this many areas a buffer's stale list becomes their bounding box:
// the compositor releasing every buffer at once (as GPU compositors do,
// after copying it) leaves the other one unused for as long as that lasts.
constexpr std::size_t staleLimit = 256;

void announceGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  auto& connection = *static_cast<Connection*>(data);
  if (connection.shm == nullptr && std::strcmp(interface, wl_shm_interface.name) == 0) {
    connection.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
  }
}

void removeGlobal(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener registryListener{announceGlobal, removeGlobal};

void released(void* data, wl_buffer*) {
  static_cast<Connection::Buffer*>(data)->busy = false;
}

const wl_buffer_listener bufferListener{released};

bool failedConnection(const Connection& connection) {
  return wl_display_get_error(connection.display) != 0;
}

// Takes the events of our queue that have arrived, waiting at most
// timeoutMs for more to come.
void takeEvents(Connection& connection, int timeoutMs) {
  while (!failedConnection(connection) && wl_display_prepare_read_queue(connection.display, connection.queue) != 0) {
    if (wl_display_dispatch_queue_pending(connection.display, connection.queue) < 0) {
      return;
    }
  }
  if (failedConnection(connection)) {
    return;
  }
  wl_display_flush(connection.display);
  pollfd wait{wl_display_get_fd(connection.display), POLLIN, 0};
  if (poll(&wait, 1, timeoutMs) > 0) {
    wl_display_read_events(connection.display);
  } else {
    wl_display_cancel_read(connection.display);
  }
  wl_display_dispatch_queue_pending(connection.display, connection.queue);
}

void dropBuffers(Connection& connection) {
  for (Connection::Buffer& buffer : connection.buffers) {
    if (buffer.buffer != nullptr) {
      wl_buffer_destroy(buffer.buffer);
    }
    buffer = {};
  }
  if (connection.memory != nullptr) {
    munmap(connection.memory, connection.bytes);
  }
  connection.memory = nullptr;
  connection.bytes = 0;
  connection.width = connection.height = 0;
  connection.shown = -1;
}

bool noMemory(Connection& connection, const char* what) {
  connection.failure = std::string(what) + ": " + std::strerror(errno);
  return false;
}

// Both buffers in one memory file, which the system frees once this process
// and the compositor have both let go of it. Black, as a new file is.
bool makeBuffers(Connection& connection, int width, int height) {
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  const std::size_t bufferBytes = stride * static_cast<std::size_t>(height);
  const std::size_t bytes = bufferBytes * connection.buffers.size();
  if (stride > INT32_MAX || bytes > INT32_MAX) {
    errno = EFBIG;
    return noMemory(connection, "no shared memory for the picture");
  }
  const int file = memfd_create("lumvane-screen", MFD_CLOEXEC);
  if (file < 0) {
    return noMemory(connection, "no shared memory for the picture");
  }
  void* memory = ftruncate(file, static_cast<off_t>(bytes)) == 0
                     ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, file, 0)
                     : MAP_FAILED;
  if (memory == MAP_FAILED) {
    const int error = errno;
    close(file);
    errno = error;
    return noMemory(connection, "no shared memory for the picture");
  }
  wl_shm_pool* pool = wl_shm_create_pool(connection.shm, file, static_cast<std::int32_t>(bytes));
  close(file);
  connection.memory = memory;
  connection.bytes = bytes;
  for (std::size_t i = 0; i < connection.buffers.size(); ++i) {
    Connection::Buffer& buffer = connection.buffers[i];
    buffer.buffer = wl_shm_pool_create_buffer(pool, static_cast<std::int32_t>(i * bufferBytes), width, height,
                                              static_cast<std::int32_t>(stride), WL_SHM_FORMAT_XRGB8888);
    buffer.pixels = reinterpret_cast<std::uint32_t*>(static_cast<char*>(memory) + i * bufferBytes);
    wl_buffer_add_listener(buffer.buffer, &bufferListener, &buffer);
  }
  wl_shm_pool_destroy(pool);
  connection.width = width;
  connection.height = height;
  connection.drawing = 0;
  connection.wholeNext = true;
  return true;
}

// A buffer the compositor does not read: the one shown last when it has
// been let go of (GPU compositors copy it at once), else the other one,
// waited for up to a second. A compositor that takes longer is not waited
// for: drawing over what it still reads would only show for a frame.
int freeBuffer(Connection& connection) {
  if (connection.shown < 0) {
    return 0;
  }
  const int other = 1 - connection.shown;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  for (bool first = true;; first = false) {
    takeEvents(connection, 0);
    if (!connection.buffers[connection.shown].busy) {
      return connection.shown;
    }
    if (!connection.buffers[other].busy) {
      return other;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (failedConnection(connection) || (!first && left.count() <= 0)) {
      return other;
    }
    takeEvents(connection, static_cast<int>(std::max<long long>(left.count(), 1)));
  }
}

// Brings a buffer up to date from the one shown last.
void catchUp(Connection& connection, int index) {
  Connection::Buffer& buffer = connection.buffers[index];
  if (connection.shown < 0 || index == connection.shown) {
    buffer.stale.clear();
    return;
  }
  const std::uint32_t* from = connection.buffers[connection.shown].pixels;
  for (const SDL_Rect& area : buffer.stale) {
    for (int y = area.y; y < area.y + area.h; ++y) {
      const std::size_t start = static_cast<std::size_t>(y) * connection.width + area.x;
      std::memcpy(buffer.pixels + start, from + start, static_cast<std::size_t>(area.w) * 4);
    }
  }
  buffer.stale.clear();
}

void markStale(Connection::Buffer& buffer, const std::vector<SDL_Rect>& areas) {
  buffer.stale.insert(buffer.stale.end(), areas.begin(), areas.end());
  if (buffer.stale.size() <= staleLimit) {
    return;
  }
  SDL_Rect box = buffer.stale.front();
  for (const SDL_Rect& area : buffer.stale) {
    SDL_UnionRect(&box, &area, &box);
  }
  buffer.stale.assign(1, box);
}

}  // namespace

WaylandScreen::WaylandScreen(std::unique_ptr<Connection> connection) : connection_(std::move(connection)) {}

// A failed connection is left as it is: its objects are only freed.
WaylandScreen::~WaylandScreen() {
  Connection& connection = *connection_;
  dropBuffers(connection);
  if (connection.shm != nullptr) {
    wl_shm_destroy(connection.shm);
  }
  wl_registry_destroy(connection.registry);
  if (!failedConnection(connection)) {
    wl_display_flush(connection.display);
  }
  wl_event_queue_destroy(connection.queue);
}

std::unique_ptr<WaylandScreen> WaylandScreen::open(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND) {
    return nullptr;
  }
  auto connection = std::make_unique<Connection>();
  connection->display = info.info.wl.display;
  connection->surface = info.info.wl.surface;
  if (failedConnection(*connection)) {
    return nullptr;
  }
  connection->queue = wl_display_create_queue(connection->display);
  auto* ours = static_cast<wl_display*>(wl_proxy_create_wrapper(connection->display));
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(ours), connection->queue);
  connection->registry = wl_display_get_registry(ours);
  wl_proxy_wrapper_destroy(ours);
  wl_registry_add_listener(connection->registry, &registryListener, connection.get());
  if (wl_display_roundtrip_queue(connection->display, connection->queue) < 0 || connection->shm == nullptr) {
    if (connection->shm != nullptr) {
      wl_shm_destroy(connection->shm);
    }
    wl_registry_destroy(connection->registry);
    wl_event_queue_destroy(connection->queue);
    return nullptr;
  }
  return std::unique_ptr<WaylandScreen>(new WaylandScreen(std::move(connection)));
}

std::uint32_t* WaylandScreen::pixels(int width, int height, std::size_t& pitch) {
  Connection& connection = *connection_;
  if (width <= 0 || height <= 0) {
    return nullptr;
  }
  if (connection.width != width || connection.height != height) {
    dropBuffers(connection);
    if (!makeBuffers(connection, width, height)) {
      return nullptr;
    }
  } else {
    connection.drawing = freeBuffer(connection);
    catchUp(connection, connection.drawing);
  }
  pitch = static_cast<std::size_t>(width);
  return connection.buffers[connection.drawing].pixels;
}

bool WaylandScreen::put(const std::vector<SDL_Rect>& areas, bool windowShown) {
  Connection& connection = *connection_;
  if (failedConnection(connection)) {
    connection.failure = "the connection to the compositor failed: " + std::string(std::strerror(
                             wl_display_get_error(connection.display)));
    return false;
  }
  if (connection.memory == nullptr) {
    return false;
  }
  Connection::Buffer& buffer = connection.buffers[connection.drawing];
  Connection::Buffer& other = connection.buffers[1 - connection.drawing];
  const SDL_Rect whole{0, 0, connection.width, connection.height};
  if (!windowShown) {
    // The buffer drawn in stays the one that holds the picture.
    markStale(other, {whole});
    connection.shown = connection.drawing;
    connection.wholeNext = true;
    return true;
  }
  auto& inside = connection.inside;
  inside.clear();
  if (connection.wholeNext) {
    inside.push_back(whole);
  } else {
    for (const SDL_Rect& area : areas) {
      SDL_Rect clipped;
      if (SDL_IntersectRect(&area, &whole, &clipped)) {
        inside.push_back(clipped);
      }
    }
  }
  if (inside.empty()) {
    return true;
  }
  const bool bufferDamage = wl_proxy_get_version(reinterpret_cast<wl_proxy*>(connection.surface)) >=
                            WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION;
  for (const SDL_Rect& area : inside) {
    // At buffer scale 1 the surface's coordinates are the buffer's.
    (bufferDamage ? wl_surface_damage_buffer : wl_surface_damage)(connection.surface, area.x, area.y, area.w, area.h);
  }
  wl_surface_attach(connection.surface, buffer.buffer, 0, 0);
  wl_surface_commit(connection.surface);
  buffer.busy = true;
  buffer.stale.clear();
  markStale(other, inside);
  connection.shown = connection.drawing;
  connection.wholeNext = false;
  // A full socket (a compositor that stopped reading) is not waited for:
  // the requests go with a later flush.
  // A closed connection (the compositor gone; libwayland leaves that to
  // the next read) is the display lost.
  if (wl_display_flush(connection.display) < 0 && errno != EAGAIN) {
    connection.gone = errno == EPIPE || errno == ECONNRESET;
    connection.failure = "cannot reach the compositor: " + std::string(std::strerror(errno));
    return false;
  }
  return true;
}

const char* WaylandScreen::failure() const {
  return connection_->failure.c_str();
}

bool WaylandScreen::gone() const {
  return connection_->gone;
}

bool lostCompositor(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  return window != nullptr && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_WAYLAND &&
         wl_display_get_error(info.info.wl.display) != 0;
}

}  // namespace win32::sdl
