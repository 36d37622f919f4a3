// The star streak pass: stars transformed and projected each frame, drawn
// as anti-aliased streaks toward the screen centre (320, 240), bright at the
// star and black at the inner end.
#include "effect/streaks.h"

#include "device/glide.h"
#include "effect/frame.h"
#include "effect/heap.h"
#include "effect/random.h"
#include "effect/scene.h"
#include "effect/sparkles.h"
#include "math/matrix.h"
#include "math/transform.h"

float cameraDepth = -0.5f;
float cameraStep = 0.05f;
float cameraStepDivisor = 1.0f;
float streakDivisor = 15.0f;

namespace {

// Strict bounds; a coordinate that is not a number fails every comparison
// and so counts as off the screen.
bool onScreen(float sx, float sy) {
  return sx > -1.0f && sx < 640.0f && sy > -1.0f && sy < 480.0f;
}

// The tail lies 1/streakDivisor of the way to the centre, cut to whole
// pixels. Worked in double precision: in single precision a value just below
// a whole number rounds up to it and the tail lands one pixel further out.
float tailCoordinate(float head, double centre) {
  const double exact = head + (centre - head) / static_cast<double>(streakDivisor);
  return static_cast<float>(static_cast<int>(exact));
}

void drawStreak(float sx, float sy, float depth) {
  GrVertex head{};
  head.x = sx;
  head.y = sy;
  head.oow = 1.0f / depth;
  head.a = 255.0f;
  head.r = head.g = head.b = starBrightness;
  GrVertex tail = head;
  tail.x = tailCoordinate(sx, 320.0);
  tail.y = tailCoordinate(sy, 240.0);
  tail.r = tail.g = tail.b = 0.0f;
  tail.oow = 0.002f;  // a depth of 500: the tail fades into the fog
  grAADrawLine(&tail, &head);
}

// A star off the screen goes back to 4.5 to 9.5 units ahead of the viewer,
// in steps of 0.01.
void putStarBack(StarPoint& star) {
  const std::int32_t k = randomRange(500, 1000);
  star.z = static_cast<float>(k / 100.0 - 0.5 + cameraDepth);
}

void flyThrough(const StarPoint* projectedStars) {
  for (std::int32_t i = 0; i < starCount; ++i) {
    const float sx = projectedStars[i].x * 640.0f;
    const float sy = projectedStars[i].y * 480.0f;
    if (onScreen(sx, sy)) {
      drawStreak(sx, sy, projectedStars[i].w);
    } else {
      putStarBack(starField[i]);
    }
  }
}

}  // namespace

// When a working array cannot be had, the frame shows no stars and no
// sparkles, and the viewer stays where it is.
void drawStarStreaks() {
  const std::size_t bytes = static_cast<std::size_t>(starCount) * sizeof(StarPoint);
  auto* transformedStars = static_cast<StarPoint*>(heapAllocate(bytes));
  auto* projectedStars = static_cast<StarPoint*>(heapAllocate(bytes));
  if (transformedStars != nullptr && projectedStars != nullptr) {
    if (cameraStepDivisor > 1.0f) {
      cameraStepDivisor -= 0.5f;
    }
    cameraDepth = cameraDepth + cameraStep / cameraStepDivisor;
    loadMatrix(identityMatrix());
    multMatrix(translationMatrix(0.0f, 0.0f, -cameraDepth));
    transformPoints(transformedStars, starField, static_cast<std::uint32_t>(starCount));
    projectPoints(projectedStars, transformedStars, static_cast<std::uint32_t>(starCount));
    drawSparkleLayer();
    flyThrough(projectedStars);
  }
  if (transformedStars != nullptr) {
    heapRelease(transformedStars);
  }
  if (projectedStars != nullptr) {
    heapRelease(projectedStars);
  }
}
