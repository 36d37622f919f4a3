// Both random sequences, exactly: every picture depends on them step by step.
#include <gtest/gtest.h>

#include <vector>

#include "effect/random.h"

namespace {

std::uint32_t step(std::uint32_t state) {
  return state * 1103515245u + 12345u;
}

// The draw width from its definition: the smallest w >= 1 with 2^w > bound.
unsigned referenceWidth(std::uint64_t bound) {
  unsigned width = 1;
  while ((std::uint64_t{1} << width) <= bound) {
    ++width;
  }
  return width;
}

// randomUpTo written plainly for bounds up to 0x0FFFFFFF; returns the value
// and counts the steps.
std::uint32_t referenceUpTo(std::uint32_t& state, std::uint32_t bound, int& steps) {
  const unsigned width = referenceWidth(bound);
  for (;;) {
    state = step(state);
    ++steps;
    const std::uint32_t candidate = (state & 0x7FFFFFFFu) >> (31 - width);
    if (candidate <= bound) {
      return candidate;
    }
  }
}

TEST(RandomUpTo, KnownSequencesFromTheStart) {
  randomState = 1;
  std::vector<std::uint32_t> states;
  for (int i = 0; i < 5; ++i) {
    randomState = step(randomState);
    states.push_back(randomState);
  }
  EXPECT_EQ(states, (std::vector<std::uint32_t>{1103527590u, 2524885223u, 662824084u, 3295386429u, 4182499122u}));

  randomState = 1;
  std::vector<std::uint32_t> values;
  for (int i = 0; i < 5; ++i) {
    values.push_back(randomUpTo(98));
  }
  EXPECT_EQ(values, (std::vector<std::uint32_t>{65, 22, 39, 68, 21}));

  // The first star: three draws, no rejection, three steps.
  randomState = 1;
  EXPECT_EQ(randomRange(2, 100), 67);
  EXPECT_EQ(randomRange(2, 100), 24);
  EXPECT_EQ(randomRange(2, 1000), 318);
  EXPECT_EQ(randomState, 662824084u);
}

// Every bound up to 2^16, and a sample above, against the plain reference:
// same value and same number of steps, rejections included.
TEST(RandomUpTo, MatchesThePlainReferenceOverAllSmallBounds) {
  std::uint32_t referenceState = 12345;
  randomState = 12345;
  for (std::uint32_t bound = 0; bound <= 0x10000; ++bound) {
    int steps = 0;
    const std::uint32_t expected = referenceUpTo(referenceState, bound, steps);
    ASSERT_EQ(randomUpTo(bound), expected) << "bound " << bound;
    ASSERT_EQ(randomState, referenceState) << "bound " << bound;
  }
  for (std::uint32_t bound = 0x10001; bound <= 0x0FFFFFFFu && bound > 0x10000; bound = bound * 3 + 7) {
    int steps = 0;
    const std::uint32_t expected = referenceUpTo(referenceState, bound, steps);
    ASSERT_EQ(randomUpTo(bound), expected) << "bound " << bound;
    ASSERT_EQ(randomState, referenceState);
  }
}

TEST(RandomUpTo, RejectionCostsSteps) {
  // Bound 0 draws one bit (bit 30 of the state) until it is clear.
  randomState = 1;
  std::uint32_t state = 1;
  int expectedSteps = 0;  // steps until bit 30 is clear
  do {
    state = step(state);
    ++expectedSteps;
  } while ((state >> 30) & 1u);
  // The seed is one whose first draws are rejected, so that the state shows
  // every step taken.
  ASSERT_GT(expectedSteps, 1);
  EXPECT_EQ(randomUpTo(0), 0u);
  EXPECT_EQ(randomState, state);
  // Bound 1 never rejects: exactly one step per draw.
  for (int i = 0; i < 1000; ++i) {
    const std::uint32_t before = randomState;
    EXPECT_LE(randomUpTo(1), 1u);
    ASSERT_EQ(randomState, step(before));
  }
}

TEST(RandomRange, ReachesBothEnds) {
  struct Span {
    std::int32_t low, high;
  };
  for (const Span span : {Span{1, 10}, Span{500, 1000}, Span{1, 3}, Span{2, 100}}) {
    randomState = 1;
    bool sawLow = false;
    bool sawHigh = false;
    for (int i = 0; i < 20000; ++i) {
      const std::int32_t value = randomRange(span.low, span.high);
      ASSERT_GE(value, span.low);
      ASSERT_LE(value, span.high);
      sawLow |= value == span.low;
      sawHigh |= value == span.high;
    }
    EXPECT_TRUE(sawLow && sawHigh) << span.low << ".." << span.high;
  }
  // The difference and sum wrap in 32 bits.
  randomState = 1;
  const std::int32_t wide = randomRange(-2000000000, 2000000000);
  EXPECT_GE(wide, -2000000000);
  EXPECT_LE(wide, 2000000000);
}

// Bounds above 0x0FFFFFFF: a 28-bit low part, then the high part, both drawn
// anew while the combination exceeds the bound.
TEST(RandomUpTo, WideBoundsCombineTwoDraws) {
  for (const std::uint32_t bound : {0x10000000u, 0x1FFFFFFFu, 0x8FFFFFFFu, 0xFFFFFFFFu, 0xC0000000u}) {
    std::uint32_t referenceState = 99;
    randomState = 99;
    for (int i = 0; i < 2000; ++i) {
      std::uint32_t value = 0;
      do {
        int steps = 0;
        const std::uint32_t low = referenceUpTo(referenceState, 0x0FFFFFFFu, steps);
        const std::uint32_t high = referenceUpTo(referenceState, bound >> 28, steps);
        value = low | (high << 28);
      } while (value > bound);
      ASSERT_EQ(randomUpTo(bound), value) << std::hex << bound;
      ASSERT_EQ(randomState, referenceState);
    }
  }
}

TEST(Rand, FirstResultsOfARun) {
  effect::randState = 1;
  std::vector<int> values;
  for (int i = 0; i < 8; ++i) {
    values.push_back(effect::rand());
  }
  EXPECT_EQ(values, (std::vector<int>{16838, 5758, 10113, 17515, 31051, 5627, 23010, 7419}));
  // It keeps its own state: the bounded generator does not disturb it.
  const std::uint32_t before = effect::randState;
  randomUpTo(1000);
  EXPECT_EQ(effect::randState, before);
}

}  // namespace
