// Scene setup: the stars, sparkles and noise points, in the order that fixes
// which random values go where, and the render state of the whole run.
#include "effect/scene.h"

#include <cstring>

#include "effect/heap.h"
#include "effect/random.h"

std::int32_t starCount = 1000;
std::int32_t sparkleCount = 100;
std::int32_t twinkleCount = 3000;

StarPoint* starField = nullptr;
GrVertex* sparkleVertices = nullptr;
GrVertex* twinkleVertices = nullptr;

GrFog_t fogTable[GR_FOG_TABLE_SIZE] = {};

namespace {

// A zeroed pool: the fields the effect never writes hold zero.
template <typename Record>
Record* allocatePool(std::int32_t count) {
  const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(Record);
  void* pool = heapAllocate(bytes);
  if (pool != nullptr) {
    std::memset(pool, 0, bytes);
  }
  return static_cast<Record*>(pool);
}

// The nearest float to k/100 - 0.5.
float gridCoordinate(std::int32_t k) {
  return static_cast<float>(k / 100.0 - 0.5);
}

void placeStars() {
  for (std::int32_t i = 0; i < starCount; ++i) {
    StarPoint& star = starField[i];
    star.x = gridCoordinate(randomRange(2, 100));
    star.y = gridCoordinate(randomRange(2, 100));
    star.z = gridCoordinate(randomRange(2, 1000));
    star.w = 1.0f;
  }
}

void placeSparkles() {
  for (std::int32_t i = 0; i < sparkleCount; ++i) {
    GrVertex& sparkle = sparkleVertices[i];
    sparkle.oow = static_cast<float>(randomRange(1, 10) / 10.0);
    sparkle.a = 255.0f;
    sparkle.r = sparkle.g = sparkle.b = 255.0f;
    sparkle.x = static_cast<float>(effect::rand() % 640);
    sparkle.y = static_cast<float>(effect::rand() % 480);
  }
}

void placeNoise() {
  for (std::int32_t i = 0; i < twinkleCount; ++i) {
    GrVertex& point = twinkleVertices[i];
    point.x = static_cast<float>(effect::rand() % 640);
    point.y = static_cast<float>(effect::rand() % 480);
    point.oow = 1.0f;
    point.a = 255.0f;
    point.r = point.g = point.b = 255.0f;
  }
}

// Iterated alpha, table fog towards black by each vertex's 1/w, and
// source-alpha blending over the buffer. The colour combine set here is
// replaced in every frame before anything is drawn.
void setRenderState() {
  grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_LOCAL_CONSTANT,
                 GR_COMBINE_OTHER_CONSTANT, FXFALSE);
  grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_CONSTANT, FXFALSE);
  grFogMode(GR_FOG_WITH_TABLE);
  grFogColorValue(0);
  guFogGenerateExp(fogTable, 0.9f);
  grFogTable(fogTable);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
}

// After a refused allocation the pools taken so far go back; the start-up
// ends anyway.
int refuse() {
  if (starField != nullptr) {
    heapRelease(starField);
  }
  if (sparkleVertices != nullptr) {
    heapRelease(sparkleVertices);
  }
  starField = nullptr;
  sparkleVertices = nullptr;
  return 0;
}

}  // namespace

int setupScene() {
  starField = allocatePool<StarPoint>(starCount);
  if (starField == nullptr) {
    return refuse();
  }
  sparkleVertices = allocatePool<GrVertex>(sparkleCount);
  if (sparkleVertices == nullptr) {
    return refuse();
  }
  placeStars();
  placeSparkles();
  setRenderState();
  twinkleVertices = allocatePool<GrVertex>(twinkleCount);
  if (twinkleVertices == nullptr) {
    return refuse();
  }
  placeNoise();
  return 1;
}
