// The grid's size and its mappings from game coordinates.
#include "grid.h"

#include <algorithm>

namespace softglide::detail {
namespace {

// floor(numerator / denominator) for a positive denominator.
long long floorDivide64(long long numerator, long long denominator) {
  return numerator >= 0 ? numerator / denominator : -((-numerator + denominator - 1) / denominator);
}

}  // namespace

// ceil(p size / count - 1/2) = ceil((2 p size - count) / (2 count)).
std::vector<int> centreStarts(int size, int count) {
  std::vector<int> result(static_cast<std::size_t>(count) + 1);
  for (int p = 0; p <= count; ++p) {
    const long long numerator = 2LL * p * size - count, denominator = 2LL * count;
    const long long ceiling =
        numerator >= 0 ? (numerator + denominator - 1) / denominator : -(-numerator / denominator);
    result[static_cast<std::size_t>(p)] = static_cast<int>(std::clamp(ceiling, 0LL, static_cast<long long>(size)));
  }
  return result;
}

void Grid::resize(int width, int height) {
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
  card_ = width_ == 640 && height_ == 480;
  reachX_ = std::max(1, (width_ + 20) / 40);
  reachY_ = std::max(1, (height_ + 15) / 30);
  columnStarts_ = centreStarts(width_, 640);
  rowStarts_ = centreStarts(height_, 480);
}

// With v = +-m 2^e: floor((32 v size + game) / (2 game)). For e >= 0 all is
// whole (|v| <= 4096 keeps 32 v size below 2^31); below, numerator and
// denominator are taken times 2^-e, which 64 bits hold while -e <= 44, and
// beyond that |32 v size| < 1/4, which leaves the quotient's floor 0.
std::int32_t Grid::snapToGrid(std::uint32_t bits, int size, int gameSize) {
  const FloatParts parts = floatParts(bits);
  const long long scaled = 32LL * parts.significand * size;
  const long long sign = parts.negative ? -1 : 1;
  if (parts.exponent >= 0) {
    return static_cast<std::int32_t>(floorDivide64(sign * (scaled << parts.exponent) + gameSize, 2LL * gameSize));
  }
  const int shift = -parts.exponent;
  if (shift > 44) {
    return 0;
  }
  return static_cast<std::int32_t>(
      floorDivide64(sign * scaled + (static_cast<long long>(gameSize) << shift), 2LL * gameSize << shift));
}

GridSize gridFor(const Resolution& resolution, int placementWidth, int placementHeight) {
  switch (resolution.kind) {
    case Resolution::Kind::card:
      break;
    case Resolution::Kind::multiple:
      return {640 * resolution.factor, 480 * resolution.factor};
    case Resolution::Kind::native:
      if (placementWidth > largestGridWidth || placementHeight > largestGridHeight) {
        return {largestGridWidth, largestGridHeight};
      }
      return {std::max(placementWidth, 1), std::max(placementHeight, 1)};
  }
  return {640, 480};
}

}  // namespace softglide::detail
