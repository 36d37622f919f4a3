// The record of the pixels written since a buffer's last whole clear.
#include "spans.h"

#include <algorithm>
#include <bit>

namespace softglide::detail {

void WrittenSpans::reset(int width, int height, int red, int green, int blue) {
  width_ = width;
  height_ = height;
  words_ = (width + 31) / 32;
  summaryWords_ = (words_ + 31) / 32;
  bits_.assign(static_cast<std::size_t>(words_) * static_cast<std::size_t>(height), 0);
  summary_.assign(static_cast<std::size_t>(summaryWords_) * static_cast<std::size_t>(height), 0);
  red_ = red;
  green_ = green;
  blue_ = blue;
}

// Only the words that were written are set to zero again.
void WrittenSpans::cleared(int red, int green, int blue) {
  for (int row = 0; row < height_; ++row) {
    std::uint32_t* summary = summary_.data() + static_cast<std::size_t>(row) * summaryWords_;
    std::uint32_t* bits = bits_.data() + static_cast<std::size_t>(row) * words_;
    for (int s = 0; s < summaryWords_; ++s) {
      for (std::uint32_t words = summary[s]; words != 0; words &= words - 1) {
        bits[s * 32 + std::countr_zero(words)] = 0;
      }
      summary[s] = 0;
    }
  }
  red_ = red;
  green_ = green;
  blue_ = blue;
}

void WrittenSpans::markLongRun(int row, int first, int end) {
  for (int x = first; x < end;) {
    const int word = x >> 5;
    const int stop = std::min(end, (word + 1) * 32);
    const std::uint32_t high = stop - word * 32 == 32 ? ~0u : (1u << (stop - word * 32)) - 1;
    bits_[static_cast<std::size_t>(row) * words_ + word] |= high & (~0u << (x & 31));
    summary_[static_cast<std::size_t>(row) * summaryWords_ + (word >> 5)] |= 1u << (word & 31);
    x = stop;
  }
}

bool WrittenSpans::scattered(const WrittenSpans* other) const {
  long long touched = 0;
  for (std::size_t i = 0; i < summary_.size(); ++i) {
    touched += std::popcount(other == nullptr ? summary_[i] : summary_[i] | other->summary_[i]);
  }
  return touched * 4 > static_cast<long long>(words_) * height_;
}

}  // namespace softglide::detail
