// Scaling the picture into window pixels by the centre rule: a table of the
// picture column each window column shows, made once for a placement; each
// picture row a rectangle shows is converted and scaled once, and the
// window rows repeating it are copies of the row above.
#include "scaling.h"

#include <algorithm>
#include <cstring>
#include <new>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "grid.h"
#include "processor.h"

namespace softglide::detail {
namespace {

// Window pixels [first, end) of a row from the converted picture row, a run
// of equal sources at a time; target holds pixel first.
void scaleRun(std::uint32_t* target, const std::uint32_t* source, const Axis& columns, int first, int end) {
  for (int x = first; x < end;) {
    const std::uint32_t pixel = source[columns.source(x)];
    const int stop = std::min(columns.runEnd(x), end);
    for (; x < stop; ++x) {
      target[x - first] = pixel;
    }
  }
}

#if defined(__x86_64__) || defined(__i386__)
// With AVX2 an enlarged row takes eight window pixels a step: the eight
// picture pixels from the first one's source, put in place by one
// permutation from the table (the last, partial step stores only what is
// left). Picture pixels are read eight at a time only inside the row
// (rowWidth pixels).
__attribute__((target("avx2"))) void scaleRowAvx2(std::uint32_t* target, const std::uint32_t* source, int rowWidth,
                                                  const Axis& columns, int first, int end) {
  int x = first;
  for (; x < end; x += 8) {
    const int from = columns.source(x);
    if (from + 8 > rowWidth) {
      break;
    }
    __m256i pixels;
    std::memcpy(&pixels, source + from, sizeof pixels);
    const std::uint64_t eight = columns.eightFrom(x);
    __m128i offsets = _mm_setzero_si128();
    std::memcpy(&offsets, &eight, sizeof eight);
    const __m256i placed = _mm256_permutevar8x32_epi32(pixels, _mm256_cvtepu8_epi32(offsets));
    if (end - x >= 8) {
      std::memcpy(target + (x - first), &placed, sizeof placed);
    } else {
      const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
      const __m256i lanesLeft = _mm256_cmpgt_epi32(_mm256_set1_epi32(end - x), lanes);
      _mm256_maskstore_epi32(reinterpret_cast<int*>(target + (x - first)), lanesLeft, placed);
    }
  }
  if (x < end) {
    scaleRun(target + (x - first), source, columns, x, end);
  }
}
#endif

// A row repeated by vertical scaling (the two never overlap), in copies of
// a fixed size that the compiler makes a few moves each: eight pixels a
// step, the last step overlapping the one before.
void copyRow(std::uint32_t* target, const std::uint32_t* source, int count) {
  constexpr std::size_t eight = 8 * sizeof *target;
  if (count >= 8) {
    int i = 0;
    for (; i + 8 <= count; i += 8) {
      std::memcpy(target + i, source + i, eight);
    }
    if (i < count) {
      std::memcpy(target + count - 8, source + count - 8, eight);
    }
  } else {
    for (int i = 0; i < count; ++i) {
      target[i] = source[i];
    }
  }
}

}  // namespace

void Axis::place(int origin, int size, int pictureSize, int clientSize) {
  origin_ = origin;
  size_ = size;
  pictureSize_ = pictureSize;
  visibleFirst_ = std::clamp(origin, 0, std::max(clientSize, 0));
  visibleEnd_ = std::clamp(origin + size, visibleFirst_, std::max(clientSize, 0));
  const long long window = size, picture = pictureSize;
  firstShowing_ = centreStarts(size, pictureSize);
  const std::size_t count = static_cast<std::size_t>(visibleEnd_ - visibleFirst_);
  sources_.resize(count);
  for (std::size_t k = 0; k < count; ++k) {
    const long long i = visibleFirst_ + static_cast<long long>(k) - origin;
    sources_[k] = static_cast<int>((2 * i + 1) * picture / (2 * window));
  }
  runEnds_.resize(count);
  for (std::size_t k = count; k-- > 0;) {
    const bool runGoesOn = k + 1 < count && sources_[k + 1] == sources_[k];
    runEnds_[k] = runGoesOn ? runEnds_[k + 1] : static_cast<int>(k + 1);
  }
  eights_.assign(enlarging() ? count : 0, 0);
  for (std::size_t k = 0; k < eights_.size(); ++k) {
    for (std::size_t j = 1; j < 8 && k + j < count; ++j) {
      eights_[k] |= static_cast<std::uint64_t>(sources_[k + j] - sources_[k]) << (8 * j);
    }
  }
}

bool Axis::windowSpan(int low, int high, int& first, int& end) const {
  first = std::max(origin_ + firstShowing_[static_cast<std::size_t>(low)], visibleFirst_);
  end = std::min(origin_ + firstShowing_[static_cast<std::size_t>(high)], visibleEnd_);
  return first < end;
}

bool WindowPicture::place(const Placement& placement, int clientWidth, int clientHeight, int pictureWidth,
                          int pictureHeight) {
  if (placement == placement_ && clientWidth == clientWidth_ && clientHeight == clientHeight_ &&
      pictureWidth == pictureWidth_ && pictureHeight == pictureHeight_ && !pixels_.empty()) {
    return true;
  }
  placement_ = placement;
  clientWidth_ = clientWidth;
  clientHeight_ = clientHeight;
  pictureWidth_ = pictureWidth;
  pictureHeight_ = pictureHeight;
  try {
    columns_.place(placement.left, placement.width, pictureWidth, clientWidth);
    rows_.place(placement.top, placement.height, pictureHeight, clientHeight);
    const std::size_t visiblePixels =
        static_cast<std::size_t>(width()) * static_cast<std::size_t>(rows_.visibleEnd() - rows_.visibleFirst());
    pixels_.assign(std::max<std::size_t>(visiblePixels, 1), 0);
    converted_.assign(static_cast<std::size_t>(pictureWidth), 0);
    wholeOneToOne_ = columns_.oneToOne() && rows_.oneToOne() && width() == pictureWidth &&
                     rows_.visibleEnd() - rows_.visibleFirst() == pictureHeight;
  } catch (const std::bad_alloc&) {
    pixels_ = {};
    converted_ = {};
    wholeOneToOne_ = false;
    clientWidth_ = -1;  // placed again next time
    return false;
  }
  return true;
}

RECT WindowPicture::visible() const {
  return {columns_.visibleFirst(), rows_.visibleFirst(), columns_.visibleEnd(), rows_.visibleEnd()};
}

bool WindowPicture::windowRect(int left, int top, int right, int bottom, RECT& rect) const {
  int first = 0, end = 0, firstRow = 0, endRow = 0;
  if (!columns_.windowSpan(left, right, first, end) || !rows_.windowSpan(top, bottom, firstRow, endRow)) {
    return false;
  }
  rect = {first, firstRow, end, endRow};
  return true;
}

void WindowPicture::drawRow(const std::uint16_t* pictureRow, const Converter& converter, std::uint32_t* target,
                            int first, int end) {
  const int from = columns_.source(first);
  if (columns_.oneToOne()) {
    converter.convert(pictureRow + from, target, static_cast<std::size_t>(end - first));
    return;
  }
  const int to = columns_.source(end - 1) + 1;
  converter.convert(pictureRow + from, converted_.data() + from, static_cast<std::size_t>(to - from));
#if defined(__x86_64__) || defined(__i386__)
  if (columns_.enlarging() && hasAvx2()) {
    scaleRowAvx2(target, converted_.data(), pictureWidth_, columns_, first, end);
    return;
  }
#endif
  scaleRun(target, converted_.data(), columns_, first, end);
}

void WindowPicture::draw(const std::uint16_t* picture, const Converter& converter, const RECT& rect) {
  const int first = static_cast<int>(rect.left);
  const int end = static_cast<int>(rect.right);
  int previousSource = -1;
  for (int y = static_cast<int>(rect.top); y < rect.bottom; ++y) {
    std::uint32_t* target = pixelsAt(first, y);
    const int source = rows_.source(y);
    if (source == previousSource) {
      copyRow(target, target - width(), end - first);
      continue;
    }
    previousSource = source;
    drawRow(picture + static_cast<std::size_t>(source) * pictureWidth_, converter, target, first, end);
  }
}

}  // namespace softglide::detail
