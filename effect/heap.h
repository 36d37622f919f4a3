// The effect's heap: the general allocator behind one seam, so that tests
// can refuse an allocation and watch the releases.
#pragma once

#include <cstddef>
#include <functional>

// Null when the allocator has no memory to give.
void* heapAllocate(std::size_t bytes);
void heapRelease(void* block);

namespace heapTesting {

// Refuses the n-th allocation from now on (1 = the next one); 0 refuses none.
void refuseAllocation(int nth);

// Called with every block that is released, before it is freed.
void observeReleases(std::function<void(void*)> observer);

}  // namespace heapTesting
