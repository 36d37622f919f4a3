// lumvane-capture: runs the unchanged saver ("/s") on a headless display
// (640x480 unless --screen says otherwise) with swap pacing off, and writes
// chosen frames as PNG files, each the board's picture on its grid.
//
//   lumvane-capture --out DIR --frames LIST [--end-after N] [--screen WxH]
//
// Frame k is the picture presented by the k-th buffer swap. A key press
// (WM_KEYDOWN, VK 0x41) arrives with the N-th GetMessageA call, so frame N
// is the last of the flight and frames N+1 to N+20 are the closing wipe;
// without --end-after it comes with the call of the last requested frame.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "app/startup.h"
#include "capture_options.h"
#include "pngfile.h"
#include "softglide.h"
#include "win32/display.h"
#include "win32/process.h"

namespace {

[[noreturn]] void usage(const std::string& problem) {
  std::fprintf(stderr,
               "lumvane-capture: %s\n"
               "usage: lumvane-capture --out DIR --frames LIST [--end-after N] [--screen WxH]\n"
               "  LIST: comma-separated frame numbers and ranges, e.g. 1,128,255-257,600\n"
               "        (at most %lld frames in all)\n"
               "  N: the GetMessageA call that brings the ending key press\n"
               "  WxH: the headless screen's size (default 640x480)\n",
               problem.c_str(), maxFrameCount);
  std::exit(2);
}

// Creates the directory and any missing parents.
bool makeDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
      std::perror(prefix.c_str());
      return false;
    }
    if (slash == std::string::npos) {
      return true;
    }
  }
}

std::string framePath(const std::string& dir, int frame) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame-%06d.png", frame);
  return dir + name;
}

template <typename Visit>
void forEachFrame(const FrameList& frames, Visit visit) {
  for (const auto& [first, last] : frames.ranges()) {
    for (int frame = first; frame <= last; ++frame) {
      visit(frame);
    }
  }
}

// What the saver's process tells the tool through the failures pipe,
// rather than by an exit code the saver could give too.
constexpr char frameNotWritten = 'w';  // the run ended there, without an exit code
constexpr char outOfMemory = 'm';      // the run ended there, without an exit code
constexpr char logNotWritten = 'l';    // a run log is not whole; the run went on

int failuresPipe = -1;

void tell(char failure) {
  [[maybe_unused]] const ssize_t told = write(failuresPipe, &failure, 1);
}

// The saver's own process: headless screen, scripted key, frames to files.
// A frame that cannot be written ends it, and so does memory that cannot be
// had, each said in one line.
[[noreturn]] void runSaver(const CaptureOptions& options, int failures) {
  failuresPipe = failures;
  try {
    // At the saver's exit, after the board has flushed its logs (its
    // handler comes later, so it runs first).
    std::atexit([] {
      if (!softglide::runLogsWhole()) {
        tell(logNotWritten);
      }
    });
    setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
    win32::useHeadlessDisplay(options.screenWidth, options.screenHeight);
    win32::setCommandLine({"lumvane", "/s"});
    win32::headless::scriptKeyDown(options.endAfter, 0x41);
    static int presented = 0;
    // The picture just presented, on the board's grid (the screen's pixels
    // where it lies 1:1 on the card's own), through the output gamma.
    win32::headless::observePresents([&options](const std::vector<std::uint32_t>&) {
      ++presented;
      if (!options.frames.contains(presented)) {
        return;
      }
      const std::vector<std::uint16_t> front = softglide::frontBuffer();
      const softglide::PictureSize size = softglide::frontBufferSize();
      std::vector<std::uint32_t> picture(front.size());
      softglide::convertPicture(front.data(), picture.data(), front.size());
      if (!writePng(framePath(options.outDir, presented), picture, size.width, size.height)) {
        tell(frameNotWritten);
        std::fflush(nullptr);
        std::_Exit(1);
      }
    });
    startProcess();
  } catch (const std::bad_alloc&) {
    std::fputs("lumvane-capture: the saver ran out of memory\n", stderr);
    tell(outOfMemory);
    std::_Exit(1);
  }
}

// The child ends with this process however it ends (SIGKILL included).
pid_t startSaver(const CaptureOptions& options, int& failures) {
  int channel[2];
  if (pipe2(channel, O_CLOEXEC) != 0) {
    std::perror("pipe");
    return -1;
  }
  const pid_t parent = getpid();
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) {
      std::_Exit(1);  // the parent ended before the request above
    }
    runSaver(options, channel[1]);
  }
  close(channel[1]);
  if (child < 0) {
    std::perror("fork");
    close(channel[0]);
    return -1;
  }
  failures = channel[0];
  return child;
}

// The tool itself, from its arguments to its exit code.
int capture(int argc, char** argv) {
  if ((win32::openClosedStandardDescriptors() & 2u) != 0) {
    std::fprintf(stderr, "lumvane-capture: standard output is closed: the exit code would be lost\n");
    return 1;
  }
  win32::applyProcessSettings();
  std::string problem;
  const std::optional<CaptureOptions> parsed = parseCaptureOptions({argv + 1, argv + argc}, problem);
  if (!parsed) {
    usage(problem);
  }
  const CaptureOptions& options = *parsed;
  if (!makeDirectories(options.outDir)) {
    return 1;
  }
  forEachFrame(options.frames, [&](int frame) { std::remove(framePath(options.outDir, frame).c_str()); });
  int failures = -1;
  const pid_t child = startSaver(options, failures);
  if (child < 0) {
    return 1;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  char failed = 0;
  const bool anyFailed = read(failures, &failed, 1) == 1;
  close(failures);
  if (anyFailed && (failed == frameNotWritten || failed == outOfMemory)) {
    return 1;  // the child said which file and why, or that memory ran out
  }
  if (!WIFEXITED(status)) {
    std::fprintf(stderr, "lumvane-capture: the saver ended abnormally\n");
    return 1;
  }
  long long missing = 0;
  forEachFrame(options.frames, [&](int frame) { missing += access(framePath(options.outDir, frame).c_str(), F_OK) != 0; });
  if (missing > 0) {
    std::fprintf(stderr, "lumvane-capture: %lld requested frame(s) were never shown\n", missing);
  }
  errno = 0;
  if (std::printf("exit code: %d\n", WEXITSTATUS(status)) < 0 || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "lumvane-capture: cannot write to standard output: %s\n",
                 errno != 0 ? std::strerror(errno) : "a write failed");
    return 1;
  }
  // A log that stopped short was said so by the board.
  return missing == 0 && !anyFailed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return capture(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("lumvane-capture: out of memory\n", stderr);
    return 1;
  }
}
