// The general allocator with a refusal seam for tests.
#include "effect/heap.h"

#include <cstdlib>

namespace {

int allocationsUntilRefusal = 0;
std::function<void(void*)> releaseObserver;

}  // namespace

void* heapAllocate(std::size_t bytes) {
  if (allocationsUntilRefusal > 0 && --allocationsUntilRefusal == 0) {
    return nullptr;
  }
  return std::malloc(bytes);
}

void heapRelease(void* block) {
  if (releaseObserver) {
    releaseObserver(block);
  }
  std::free(block);
}

namespace heapTesting {

void refuseAllocation(int nth) {
  allocationsUntilRefusal = nth;
}

void observeReleases(std::function<void(void*)> observer) {
  releaseObserver = std::move(observer);
}

}  // namespace heapTesting
