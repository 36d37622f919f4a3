// lumvane-capture: runs the unchanged saver ("/s") on a 640x480 headless
// display with swap pacing off, and writes chosen frames as PNG files.
//
//   lumvane-capture --out DIR --frames LIST [--end-after N]
//
// Frame k is the picture presented by the k-th buffer swap. A key press
// (WM_KEYDOWN, VK 0x41) arrives with the N-th GetMessageA call, so frame N
// is the last of the flight and frames N+1 to N+20 are the closing wipe;
// without --end-after it comes with the call of the last requested frame.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "app/startup.h"
#include "pngfile.h"
#include "win32/display.h"

namespace {

constexpr int maxFrame = 10'000'000;

struct Options {
  std::string outDir;
  std::set<int> frames;
  int endAfter = 0;
};

[[noreturn]] void usage(const char* problem) {
  std::fprintf(stderr,
               "lumvane-capture: %s\n"
               "usage: lumvane-capture --out DIR --frames LIST [--end-after N]\n"
               "  LIST: comma-separated frame numbers and ranges, e.g. 1,128,255-257,600\n"
               "  N: the GetMessageA call that brings the ending key press\n",
               problem);
  std::exit(2);
}

// A whole number from 1 to maxFrame, or -1.
int parseNumber(const std::string& text) {
  if (text.empty() || text.size() > 8 || text.find_first_not_of("0123456789") != std::string::npos) {
    return -1;
  }
  const int value = std::atoi(text.c_str());
  return value >= 1 && value <= maxFrame ? value : -1;
}

std::set<int> parseFrames(const std::string& list) {
  std::set<int> frames;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = list.find(',', start);
    const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const std::size_t dash = item.find('-');
    const int first = parseNumber(item.substr(0, dash));
    const int last = dash == std::string::npos ? first : parseNumber(item.substr(dash + 1));
    if (first < 0 || last < first || last - first > 100000) {
      usage(("bad frame list item '" + item + "'").c_str());
    }
    for (int frame = first; frame <= last; ++frame) {
      frames.insert(frame);
    }
    if (comma == std::string::npos) {
      break;
    }
    start = comma + 1;
  }
  return frames;
}

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (i + 1 >= argc) {
      usage(("missing value after " + flag).c_str());
    }
    const std::string value = argv[++i];
    if (flag == "--out") {
      options.outDir = value;
    } else if (flag == "--frames") {
      options.frames = parseFrames(value);
    } else if (flag == "--end-after") {
      options.endAfter = parseNumber(value);
      if (options.endAfter < 0) {
        usage("--end-after takes a whole number from 1");
      }
    } else {
      usage(("unknown option " + flag).c_str());
    }
  }
  if (options.outDir.empty() || options.frames.empty()) {
    usage("--out and --frames are required");
  }
  if (options.endAfter == 0) {
    options.endAfter = *options.frames.rbegin();
  }
  return options;
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

// The saver's own process: headless screen, scripted key, frames to files.
[[noreturn]] void runSaver(const Options& options) {
  setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  win32::useHeadlessDisplay(640, 480);
  win32::setCommandLine({"lumvane", "/s"});
  win32::headless::scriptKeyDown(options.endAfter, 0x41);
  int presented = 0;
  win32::headless::observePresents([&options, &presented](const std::vector<std::uint32_t>& screen) {
    ++presented;
    if (options.frames.count(presented) != 0 && !writePng(framePath(options.outDir, presented), screen, 640, 480)) {
      std::_Exit(125);
    }
  });
  startProcess();
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parseOptions(argc, argv);
  if (!makeDirectories(options.outDir)) {
    return 1;
  }
  for (const int frame : options.frames) {
    std::remove(framePath(options.outDir, frame).c_str());
  }
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    return 1;
  }
  if (child == 0) {
    runSaver(options);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status)) {
    std::fprintf(stderr, "lumvane-capture: the saver ended abnormally\n");
    return 1;
  }
  int missing = 0;
  for (const int frame : options.frames) {
    if (access(framePath(options.outDir, frame).c_str(), F_OK) != 0) {
      ++missing;
    }
  }
  if (missing > 0) {
    std::fprintf(stderr, "lumvane-capture: %d requested frame(s) were never shown\n", missing);
  }
  std::printf("exit code: %d\n", WEXITSTATUS(status));
  return missing == 0 ? 0 : 1;
}
