// Which pixels of a colour buffer were written since its last whole clear:
// a bit per pixel of each memory row, and a bit per word of those bits, so
// that a clear or a present visits what was drawn and nothing else. Outside
// the written pixels a buffer holds the dither pattern of that clear; so two
// pictures whose clears had the same colour differ only where either was
// written.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace softglide::detail {

class WrittenSpans {
 public:
  // A buffer of width x height pixels with nothing written, last cleared to
  // the colour given (0-255 per channel).
  void reset(int width, int height, int red, int green, int blue);

  // Nothing written since a whole clear in the colour given.
  void cleared(int red, int green, int blue);

  [[gnu::always_inline]] void mark(int row, int x) {
    const auto word = static_cast<std::uint32_t>(x) >> 5;
    bits_[static_cast<std::size_t>(row) * words_ + word] |= 1u << (x & 31);
    summary_[static_cast<std::size_t>(row) * summaryWords_ + (word >> 5)] |= 1u << (word & 31);
  }

  // Columns x and x + 1 of a memory row, both inside it.
  [[gnu::always_inline]] void markPair(int row, int x) {
    const auto word = static_cast<std::uint32_t>(x) >> 5;
    if ((x & 31) == 31) {
      mark(row, x);
      mark(row, x + 1);
      return;
    }
    bits_[static_cast<std::size_t>(row) * words_ + word] |= 3u << (x & 31);
    summary_[static_cast<std::size_t>(row) * summaryWords_ + (word >> 5)] |= 1u << (word & 31);
  }

  // Columns [first, end) of a memory row, first < end.
  [[gnu::always_inline]] void markRun(int row, int first, int end) {
    const auto word = static_cast<std::uint32_t>(first) >> 5;
    if (word != static_cast<std::uint32_t>(end - 1) >> 5) {
      markLongRun(row, first, end);
      return;
    }
    const std::uint32_t ones = ~0u >> (32 - (end - first));
    bits_[static_cast<std::size_t>(row) * words_ + word] |= ones << (first & 31);
    summary_[static_cast<std::size_t>(row) * summaryWords_ + (word >> 5)] |= 1u << (word & 31);
  }
  void markLongRun(int row, int first, int end);

  bool sameClear(const WrittenSpans& other) const {
    return red_ == other.red_ && green_ == other.green_ && blue_ == other.blue_;
  }
  int red() const { return red_; }
  int green() const { return green_; }
  int blue() const { return blue_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // Whether what was written here or, with other, there is so scattered
  // that visiting it costs more than visiting everything: it touches more
  // than a quarter of the picture's 32-column words.
  bool scattered(const WrittenSpans* other = nullptr) const;

  // Calls visit(word, here, there) for each 32-column word of the memory row
  // with a column written here or in other (of the same size), in order,
  // with the written columns' bits of each (bit i: column 32 word + i).
  template <typename Visit>
  void forEachWord(int row, const WrittenSpans& other, Visit visit) const;

 private:
  int width_ = 0, height_ = 0;
  int words_ = 0;         // 32-bit words of pixel bits per row
  int summaryWords_ = 0;  // 32-bit words of summary per row: bit w, pixel word w is not zero
  std::vector<std::uint32_t> bits_;
  std::vector<std::uint32_t> summary_;
  int red_ = 0, green_ = 0, blue_ = 0;  // the colour of the last whole clear
};

// Calls visit(first, end) for each run of set bits of one 32-column word,
// in columns from base.
template <typename Visit>
[[gnu::always_inline]] inline void forEachRunOfWord(std::uint32_t bits, int base, Visit visit) {
  while (bits != 0) {
    const int first = std::countr_zero(bits);
    const std::uint32_t rest = ~(bits >> first);  // zero only when the run reaches bit 31
    const int end = rest == 0 ? 32 : first + std::countr_zero(rest);
    bits = end < 32 ? bits & (~0u << end) : 0;
    visit(base + first, base + end);
  }
}

template <typename Visit>
void WrittenSpans::forEachWord(int row, const WrittenSpans& other, Visit visit) const {
  const std::size_t summaryStart = static_cast<std::size_t>(row) * summaryWords_;
  const std::size_t rowStart = static_cast<std::size_t>(row) * words_;
  for (int s = 0; s < summaryWords_; ++s) {
    for (std::uint32_t words = summary_[summaryStart + s] | other.summary_[summaryStart + s]; words != 0;
         words &= words - 1) {
      const int word = s * 32 + std::countr_zero(words);
      visit(word, bits_[rowStart + static_cast<std::size_t>(word)],
            other.bits_[rowStart + static_cast<std::size_t>(word)]);
    }
  }
}

}  // namespace softglide::detail
