// The effect's point pools, fog table and render state, set up once before
// the first frame.
#pragma once

#include <cstdint>

#include "device/glide.h"
#include "math/transform.h"

extern std::int32_t starCount;     // 1000 stars in starField
extern std::int32_t sparkleCount;  // 100 sparkles in sparkleVertices
extern std::int32_t twinkleCount;  // 3000 noise points in twinkleVertices

// The stars in scene space (w = 1), each 0.01-grid x and y from -0.48 to
// 0.50 and z from -0.48 to 9.50; only a star's z changes later.
extern StarPoint* starField;
// The sparkles: fixed whole-pixel positions, alpha 255.
extern GrVertex* sparkleVertices;
// The noise points, all of one grey level, oow 1.0 and alpha 255.
extern GrVertex* twinkleVertices;

extern GrFog_t fogTable[GR_FOG_TABLE_SIZE];

// Fills the pools and sets the render state for the whole run. Returns 1, or
// 0 when an allocation is refused; the Glide device must be open.
int setupScene();
