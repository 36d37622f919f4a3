// The run logs that the environment switches on: the call trace file
// (SOFTGLIDE_TRACE) and the frame log (SOFTGLIDE_FRAMES), and their number
// and hash formats. Known answers come from the C library's own "%a", the
// published FNV-1a test vectors, and hashes of whole black and white
// screens computed apart from this code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "device/glidesystem.h"
#include "effect/frame.h"
#include "glide_fixture.h"
#include "isolated.h"
#include "saver_fixture.h"

namespace {

std::vector<std::string> linesOf(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

std::string scratchFile(const char* name) {
  return testing::TempDir() + "lumvane-runlog-" + std::to_string(getpid()) + "-" + name;
}

std::string hexFloat(double value) {
  char text[32];
  const int length = softglide::formatHexFloat(value, text);
  return std::string(text, static_cast<std::size_t>(length));
}

// glibc's "%a" is the reference: our formatter must agree with it on every
// kind of double (the trace must read the same on C libraries whose "%a"
// differs, so it cannot simply call printf).
TEST(RunLogFormats, HexFloatsAgreeWithGlibc) {
  std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.5, 2.0, 0.1, 255.0, 640.0, 1e300, -1e-300,
                                std::numeric_limits<double>::denorm_min(),
                                -std::numeric_limits<double>::denorm_min() * 12345,
                                std::numeric_limits<double>::min(), std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                static_cast<double>(0.002f), static_cast<double>(0.9f), 4294967295.0};
  std::mt19937_64 generator(7);
  for (int i = 0; i < 20000; ++i) {
    std::uint64_t bits = generator();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    values.push_back(value);
    values.push_back(static_cast<double>(static_cast<float>(value)));  // as the trace sees floats
  }
  int mismatches = 0;
  std::string first;
  for (const double value : values) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%a", value);
    const std::string ours = hexFloat(value);
    if (ours != expected && !(std::isnan(value) && (ours == "nan" || ours == "-nan"))) {
      if (mismatches++ == 0) first = ours + " vs " + expected;
    }
  }
  EXPECT_EQ(mismatches, 0) << first;
  EXPECT_EQ(hexFloat(std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(hexFloat(-std::numeric_limits<double>::quiet_NaN()), "-nan");
}

TEST(RunLogFormats, FrameHashIsFnv1aOverLittleEndianBytes) {
  EXPECT_EQ(softglide::frameHash(nullptr, 0), 0xcbf29ce484222325u);  // the offset basis
  // "foobar" as three little-endian words: 'f','o' / 'o','b' / 'a','r'.
  const std::uint16_t foobar[] = {0x6f66, 0x626f, 0x7261};
  EXPECT_EQ(softglide::frameHash(foobar, 3), 0x85944171f73967e8u);  // published test vector
}

// Two swaps of whole-screen clears: black (every dithered pixel 0) and
// white (255 dithers to 31/63/31 at every matrix value, so 0xFFFF). Their
// hashes over 614400 bytes were computed apart from this code.
TEST(RunLogs, FrameLogHasOneHashPerSwap) {
  const std::string path = scratchFile("frames");
  const IsolatedRun run = runIsolated([&path] {
    setenv("SOFTGLIDE_FRAMES", path.c_str(), 1);
    openTestBoard();
    grBufferClear(0, 0, 0xFFFF);
    grBufferSwap(1);
    grBufferClear(0xFFFFFFFF, 0, 0xFFFF);
    grBufferSwap(1);
    grGlideShutdown();  // flushes; the child then ends without exit handlers
    std::_Exit(0);
  });
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  const auto lines = linesOf(path);
  std::remove(path.c_str());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "1 4f2d9f141eeda325");
  EXPECT_EQ(lines[1], "2 4a3be130010a0325");
}

// The trace file holds the same calls as the trace that tests read, in
// order, with every number exact: each line parses back to the very
// arguments. The saver's own first calls are checked word for word.
TEST(RunLogs, TraceFileHoldsEveryCallExactly) {
  const std::string path = scratchFile("trace");
  const IsolatedRun run = runIsolated([&path] {
    setenv("SOFTGLIDE_TRACE", path.c_str(), 1);
    prepareHeadless();
    startEffect();
    drawFrame();
    drawFrame();
    closeGlideDevice();
    std::_Exit(0);  // grGlideShutdown flushed the file
  });
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  const auto lines = linesOf(path);
  std::remove(path.c_str());
  ASSERT_GT(lines.size(), 12000u);  // two opening frames of 6000 noise points each
  EXPECT_EQ(lines[0], "grGlideInit");
  EXPECT_EQ(lines[1], "grSstQueryHardware");
  EXPECT_EQ(lines[2], "grSstSelect 0x0p+0");
  EXPECT_EQ(lines[3].substr(0, 13), "grSstWinOpen ");
  EXPECT_EQ(lines[3].substr(lines[3].find(' ', 13)), " 0x1.cp+2 0x0p+0 0x1p+0 0x1p+0 0x1p+1 0x1p+0");
  EXPECT_EQ(lines.back(), "grGlideShutdown");
  int fogTables = 0, lines14 = 0, swaps = 0;
  std::string malformed;
  for (const std::string& line : lines) {
    std::istringstream words(line);
    std::string name;
    words >> name;
    std::vector<double> numbers;
    for (std::string word; words >> word;) {
      char* end = nullptr;
      numbers.push_back(std::strtod(word.c_str(), &end));
      if (*end != '\0' || word.rfind("0x", word[0] == '-' ? 1 : 0) == std::string::npos) malformed = line;
    }
    if (name == "grFogTable") fogTables += numbers.size() == 64 && numbers[63] == 255.0;
    if (name == "grAADrawLine") lines14 += numbers.size() == 14;
    if (name == "grBufferSwap") swaps += numbers.size() == 1 && numbers[0] == 1.0;
  }
  EXPECT_EQ(malformed, "");
  EXPECT_EQ(fogTables, 1);
  EXPECT_GT(lines14, 0);
  EXPECT_EQ(swaps, 2);
  // The fog curve's density, 0.9 in single precision, written exactly.
  bool density = false;
  for (const std::string& line : lines) density |= line == "guFogGenerateExp 0x1.ccccccp-1";
  EXPECT_TRUE(density);
}

// The file agrees with the in-memory trace call for call and bit for bit.
TEST(RunLogs, TraceFileMatchesTheTraceTestsRead) {
  const std::string path = scratchFile("compare");
  const IsolatedRun run = runIsolated([&path] {
    setenv("SOFTGLIDE_TRACE", path.c_str(), 1);
    prepareHeadless();
    startEffect();
    for (int frame = 0; frame < 3; ++frame) drawFrame();
    grGlideShutdown();
    const auto lines = linesOf(path);
    const auto& calls = softglide::trace();
    std::string differences;
    std::size_t line = 0;
    for (const auto& call : calls) {
      std::string expected = call.name;
      for (const double value : call.arguments) expected += " " + hexFloat(value);
      if (line >= lines.size() || lines[line] != expected) {
        differences += std::to_string(line) + ": " + expected + " | " + (line < lines.size() ? lines[line] : "") + "\n";
        if (differences.size() > 2000) break;
      }
      ++line;
    }
    reportFact("differences", differences);
    reportFact("counts", std::to_string(lines.size()) + " " + std::to_string(calls.size()));
    std::_Exit(0);
  });
  std::remove(path.c_str());
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run["differences"], "");
  const std::string counts = run["counts"];
  EXPECT_EQ(counts.substr(0, counts.find(' ')), counts.substr(counts.find(' ') + 1));
}

// A path that cannot be written: one line on standard error, and the board
// works on untraced.
TEST(RunLogs, AnUnwritablePathIsReportedAndIgnored) {
  const IsolatedRun run = runIsolated([] {
    setenv("SOFTGLIDE_TRACE", "/nonexistent-lumvane-dir/trace.txt", 1);
    setenv("SOFTGLIDE_FRAMES", "/nonexistent-lumvane-dir/frames.txt", 1);
    openTestBoard();
    grBufferClear(0xFFFFFFFF, 0, 0xFFFF);
    const auto picture = swapAndRead();
    reportFact("white", picture[0] == 0xFFFF && picture.back() == 0xFFFF);
  });
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run["white"], "1");
  EXPECT_NE(run.errorOutput.find("SOFTGLIDE_TRACE=/nonexistent-lumvane-dir/trace.txt"), std::string::npos)
      << run.errorOutput;
  EXPECT_NE(run.errorOutput.find("SOFTGLIDE_FRAMES=/nonexistent-lumvane-dir/frames.txt"), std::string::npos);
  // One line each, and nothing else.
  EXPECT_EQ(std::count(run.errorOutput.begin(), run.errorOutput.end(), '\n'), 2) << run.errorOutput;
}

}  // namespace
