// Transforming arrays of homogeneous points through the current transform,
// and projecting them into the unit screen square.
#pragma once

#include <cstddef>
#include <cstdint>

// One homogeneous point. The six reserved words are never given a value by
// the transform code; both operations carry them through bit for bit.
struct StarPoint {
  float x;
  float y;
  float z;  // after the transform: the depth ahead of the viewer (+z)
  float w;
  std::uint32_t reserved[6];
};
static_assert(sizeof(StarPoint) == 40);
static_assert(offsetof(StarPoint, w) == 12);
static_assert(offsetof(StarPoint, reserved) == 16);

// dst[i] = src[i] x currentMatrix for i < count. dst may be src itself.
// currentMatrix is read once, at entry.
void transformPoints(StarPoint* dst, const StarPoint* src, std::uint32_t count);

// dst[i] = ((1 + x/z)/2, (1 + y/z)/2, z/z, z) of src[i]. No clipping: points
// outside the 90-degree view pyramid land outside [0, 1], and a zero depth
// gives infinities or NaN without a trap. dst may be src itself.
void projectPoints(StarPoint* dst, const StarPoint* src, std::uint32_t count);
