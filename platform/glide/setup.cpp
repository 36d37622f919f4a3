// The fixed-point arithmetic of softglide.h, for callers outside the board:
// the same inline functions that the primitives use.
#include "pixel.h"
#include "setup.h"
#include "softglide.h"

namespace softglide::fixedpoint {

bool drawablePosition(float coordinate) {
  return detail::drawablePosition(coordinate);
}

std::int32_t snapPosition(float coordinate) {
  return detail::snapPosition(coordinate);
}

std::int32_t fixedColor(float channel) {
  return detail::fixedColor(channel);
}

std::int64_t fixedOow(float oow) {
  return detail::fixedOow(oow);
}

std::uint32_t fogDepth(std::int64_t q) {
  return pixel::fogDepth(q);
}

std::int64_t floorDivide(std::int64_t numerator, std::int32_t denominator) {
  return detail::floorDivide(numerator, denominator);
}

LineIterator startLineIterator(std::int64_t first, std::int64_t second, std::int32_t firstU, std::int32_t secondU,
                               std::int32_t column) {
  return detail::startLineIterator<std::int64_t>(first, second, firstU, secondU, column);
}

}  // namespace softglide::fixedpoint
