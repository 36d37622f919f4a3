// The effect's two pseudo-random sequences. Both are linear congruential
// generators (x * 1103515245 + 12345 mod 2^32) that start from state 1 in
// every run and are never seeded, so every run shows the same pictures.
#pragma once

#include <cstdint>

// State of the bounded generator; only randomUpTo steps it.
extern std::uint32_t randomState;

// A value from 0 to bound, both included. Draws the smallest number of high
// bits that can hold the bound and rejects candidates above it, so the
// number of steps taken depends on the values drawn.
std::uint32_t randomUpTo(std::uint32_t bound);

// low + randomUpTo(high - low): a value from low to high, both included.
std::int32_t randomRange(std::int32_t low, std::int32_t high);

namespace effect {

// State of rand; kept apart from the C library's, whose sequence may differ.
extern std::uint32_t randState;

// The classic runtime rand: one step, then bits 16 to 30 of the state,
// a value from 0 to 32767.
int rand();

}  // namespace effect
