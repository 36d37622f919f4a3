// The sparkle layer: each point's oow is drawn anew in every frame.
#include "effect/sparkles.h"

#include "device/glide.h"
#include "effect/frame.h"
#include "effect/random.h"
#include "effect/scene.h"

void drawSparkleLayer() {
  for (std::int32_t i = 0; i < sparkleCount; ++i) {
    GrVertex& sparkle = sparkleVertices[i];
    const std::int32_t k = randomRange(1, 3);
    sparkle.oow = static_cast<float>(k / 10.0 + 0.5);
    sparkle.r = sparkle.g = sparkle.b = starBrightness;
    grAADrawPoint(&sparkle);
  }
}
