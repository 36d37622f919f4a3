// The board's choice of instruction sets, and its switches in softglide.h.
#include "processor.h"

#include "environment.h"
#include "softglide.h"

namespace softglide::detail {
namespace {

bool avx2Allowed = true;

// What the processor has does not change while the process runs, nor does
// its environment switch, read once here.
bool processorHasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool avx2 = __builtin_cpu_supports("avx2") && !avx2Refused();
  return avx2;
#else
  return false;
#endif
}

}  // namespace

bool hasAvx2() { return avx2Allowed && processorHasAvx2(); }

}  // namespace softglide::detail

namespace softglide {

void allowAvx2(bool allowed) { detail::avx2Allowed = allowed; }

bool usesAvx2() { return detail::hasAvx2(); }

}  // namespace softglide
