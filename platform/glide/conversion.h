// Converting the board's 5-6-5 pictures to 0x00RRGGBB for presenting: bit
// replication, through the output gamma that SST_GAMMA sets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace softglide::detail {

// Whether the processor has AVX2 (and the board may use it), for the paths
// that use it when it does.
bool hasAvx2();

// 5-6-5 words to 0x00RRGGBB by bit replication, without output gamma.
void convertWithoutGamma(const std::uint16_t* source, std::uint32_t* target, std::size_t count);

// Through the output gamma (1.0: bit replication alone).
void convertWithGamma(const std::uint16_t* source, std::uint32_t* target, std::size_t count, double gamma);

// The marked 16-pixel blocks of a whole picture (screenWidth x screenHeight
// words, one mask per memory row, bit i = pixels 16i to 16i+15), through the
// output gamma; the rest of target is left as it was.
void convertBlocks(const std::uint16_t* source, std::uint32_t* target, const std::uint64_t* blocks, double gamma);

}  // namespace softglide::detail
