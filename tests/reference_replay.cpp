// reference-replay: replays a call trace (SOFTGLIDE_TRACE's text) through the
// reference board on a grid of the size given, and writes the frame log it
// gives (SOFTGLIDE_FRAMES's format: "N HASH" a swap, HASH the 64-bit FNV-1a of
// the front buffer's 5-6-5 words as little-endian bytes, top row first), for
// comparing with the board's own.
//
//   reference-replay TRACE WIDTH HEIGHT
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "reference_board.h"

namespace {

std::uint64_t frameLogHash(const std::vector<std::uint16_t>& picture) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const std::uint16_t word : picture) {
    for (const int byte : {word & 0xFF, word >> 8}) {
      hash = (hash ^ static_cast<std::uint64_t>(byte)) * 1099511628211ull;
    }
  }
  return hash;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: reference-replay TRACE WIDTH HEIGHT\n");
    return 2;
  }
  std::ifstream trace(argv[1]);
  const int width = std::atoi(argv[2]);
  const int height = std::atoi(argv[3]);
  if (!trace || width < 1 || height < 1) {
    std::fprintf(stderr, "reference-replay: cannot read %s, or a bad size\n", argv[1]);
    return 2;
  }
  ReferenceBoard board(width, height);
  std::string line;
  int swaps = 0;
  while (std::getline(trace, line)) {
    std::istringstream fields(line);
    softglide::TraceCall call;
    fields >> call.name;
    std::string number;
    while (fields >> number) {
      call.arguments.push_back(std::strtod(number.c_str(), nullptr));
    }
    board.apply(call);
    if (call.name == "grBufferSwap") {
      std::printf("%d %016llx\n", ++swaps, static_cast<unsigned long long>(frameLogHash(board.front())));
    }
  }
  return 0;
}
