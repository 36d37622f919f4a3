// Which optional instruction sets the board's paths may use: decided once
// from the processor and SOFTGLIDE_NO_AVX2, and by allowAvx2 (softglide.h).
#pragma once

namespace softglide::detail {

// The processor has AVX2 and neither SOFTGLIDE_NO_AVX2=1 nor allowAvx2(false)
// refuses it. The pictures are the same either way.
bool hasAvx2();

}  // namespace softglide::detail
