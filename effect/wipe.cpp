// The closing wipe: clip windows shrinking toward the centre, cleared white.
#include "effect/wipe.h"

#include "device/glide.h"
#include "effect/heap.h"
#include "effect/scene.h"

namespace {

void releasePool(void* pool) {
  if (pool != nullptr) {
    heapRelease(pool);
  }
}

}  // namespace

// From frame 11 on the window's minimum is not below its maximum; such a
// window holds no pixel, so those frames stay black.
void playClosingWipe() {
  for (int n = 640; n > 0; n -= 32) {
    grClipWindow(0, 0, 640, 480);
    grBufferClear(0, 0, 0xFFFF);
    const int h = n * 480 / 640;
    grClipWindow(static_cast<FxU32>(640 - n), static_cast<FxU32>(480 - h), static_cast<FxU32>(n),
                 static_cast<FxU32>(h));
    grBufferClear(0xFFFFFFFFu, 0, 0xFFFF);
    grBufferSwap(1);
  }
  releasePool(twinkleVertices);
  releasePool(starField);
  releasePool(sparkleVertices);
  twinkleVertices = nullptr;
  starField = nullptr;
  sparkleVertices = nullptr;
}
