// Matrices, point transform and projection: the rounding points and the
// composition order are part of every picture.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "math/matrix.h"
#include "math/transform.h"

namespace {

std::uint32_t bits(float value) {
  return std::bit_cast<std::uint32_t>(value);
}

void expectMatrix(const Matrix4& actual, const float (&expected)[16]) {
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(bits(actual.m[i / 4][i % 4]), bits(expected[i])) << "element " << i << ": " << actual.m[i / 4][i % 4]
                                                                << " vs " << expected[i];
  }
}

StarPoint point(float x, float y, float z, float w) {
  StarPoint p{};
  p.x = x;
  p.y = y;
  p.z = z;
  p.w = w;
  return p;
}

TEST(Matrix, ScaledDegreeConstantShowsInRotations) {
  EXPECT_EQ(bits(degreesToRadians), 0x3C8EFA2Eu);
  // Zero degrees: the identity, with the negated sine a negative zero.
  expectMatrix(*rotationZMatrix(0.0f), {1, 0, 0, 0, -0.0f, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  EXPECT_TRUE(std::signbit(rotationZMatrix(0.0f)->m[1][0]));
  // 90 degrees is not exact because the constant lies below pi/180.
  const Matrix4& quarter = *rotationZMatrix(90.0f);
  EXPECT_FLOAT_EQ(quarter.m[0][0], 1.1856345e-6f);
  EXPECT_NE(quarter.m[0][0], 0.0f);
  EXPECT_EQ(quarter.m[0][1], 1.0f);
  EXPECT_EQ(bits(quarter.m[1][0]), bits(-quarter.m[0][1]));
  const Matrix4& full = *rotationZMatrix(360.0f);
  EXPECT_EQ(full.m[0][0], 1.0f);
  EXPECT_FLOAT_EQ(full.m[0][1], -4.742538e-6f);
}

TEST(Matrix, RotationsTurnTheRightWay) {
  // Each rotation by 30 degrees, applied to a unit axis with row vectors.
  const float c = static_cast<float>(std::cos(30.0 * static_cast<double>(degreesToRadians)));
  const float s = static_cast<float>(std::sin(30.0 * static_cast<double>(degreesToRadians)));
  expectMatrix(*rotationXMatrix(30.0f), {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1});
  expectMatrix(*rotationYMatrix(30.0f), {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1});
  expectMatrix(*rotationZMatrix(30.0f), {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  loadMatrix(rotationZMatrix(30.0f));
  StarPoint p = point(1, 0, 0, 1);
  transformPoints(&p, &p, 1);
  EXPECT_EQ(p.x, c);  // +X turns towards +Y
  EXPECT_EQ(p.y, s);
}

TEST(Matrix, EachBuilderOwnsOneStaticMatrix) {
  Matrix4* identity = identityMatrix();
  Matrix4* translation = translationMatrix(1.0f, 2.0f, 3.0f);
  Matrix4* first = rotationZMatrix(30.0f);
  Matrix4* second = rotationZMatrix(60.0f);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->m[0][0], static_cast<float>(std::cos(60.0 * static_cast<double>(degreesToRadians))));
  EXPECT_NE(static_cast<void*>(first), static_cast<void*>(rotationXMatrix(0.0f)));
  expectMatrix(*identity, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  expectMatrix(*translation, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
}

TEST(Matrix, MultiplicationAppliesTheNewMatrixAfterTheOld) {
  std::memset(&currentMatrix, 0, sizeof currentMatrix);
  multMatrix(identityMatrix());
  expectMatrix(currentMatrix, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});

  loadMatrix(identityMatrix());
  multMatrix(translationMatrix(0.0f, 0.0f, -2.5f));
  expectMatrix(currentMatrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -2.5f, 1});

  // Rotate, then move: the rows of the product.
  loadMatrix(identityMatrix());
  multMatrix(rotationZMatrix(30.0f));
  multMatrix(translationMatrix(4.0f, 5.0f, 6.0f));
  const Matrix4& r = *rotationZMatrix(30.0f);
  expectMatrix(currentMatrix, {r.m[0][0], r.m[0][1], 0, 0, r.m[1][0], r.m[1][1], 0, 0, 0, 0, 1, 0, 4, 5, 6, 1});

  // The current matrix as its own argument squares it.
  loadMatrix(translationMatrix(1.0f, 2.0f, 3.0f));
  multMatrix(&currentMatrix);
  expectMatrix(currentMatrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 2, 4, 6, 1});
}

TEST(Matrix, ElementsAreSummedInDoubleAndRoundedOnce) {
  // 1 + 2^-24 + 2^-24: rounding each partial sum to single would lose both
  // small terms; summing in double keeps them and rounds up to 1 + 2^-23.
  Matrix4 a{};
  a.m[0][0] = 1.0f;
  a.m[0][1] = 1.0f;
  a.m[0][2] = 1.0f;
  Matrix4 b{};
  b.m[0][0] = std::ldexp(1.0f, -24);
  b.m[1][0] = 1.0f;
  b.m[2][0] = std::ldexp(1.0f, -24);
  loadMatrix(&a);
  multMatrix(&b);
  EXPECT_EQ(currentMatrix.m[0][0], 1.0f + std::ldexp(1.0f, -23));
}

TEST(Transform, TranslationAndInPlaceOperation) {
  loadMatrix(identityMatrix());
  multMatrix(translationMatrix(0.0f, 0.0f, -0.45f));
  StarPoint source[3] = {point(0.17f, -0.26f, 2.68f, 1), point(-0.48f, 0.5f, 9.5f, 1), point(0, 0, 0, 1)};
  StarPoint separate[3];
  transformPoints(separate, source, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(separate[i].x, source[i].x);
    EXPECT_EQ(separate[i].y, source[i].y);
    EXPECT_EQ(separate[i].z, static_cast<float>(static_cast<double>(source[i].z) - 0.45f));
    EXPECT_EQ(separate[i].w, 1.0f);
  }
  transformPoints(source, source, 3);
  EXPECT_EQ(std::memcmp(source, separate, sizeof source), 0);
}

TEST(Transform, IdentityKeepsFiniteValuesAndRotationIsInexact) {
  loadMatrix(identityMatrix());
  StarPoint p = point(-3.5e30f, 1e-38f, 7.25f, 1);
  StarPoint out{};
  transformPoints(&out, &p, 1);
  EXPECT_EQ(out.x, p.x);
  EXPECT_EQ(out.y, p.y);
  EXPECT_EQ(out.z, p.z);
  loadMatrix(rotationZMatrix(90.0f));
  StarPoint axis = point(1, 0, 0, 1);
  transformPoints(&axis, &axis, 1);
  EXPECT_FLOAT_EQ(axis.x, 1.1856345e-6f);
  EXPECT_EQ(axis.y, 1.0f);
  EXPECT_EQ(axis.z, 0.0f);
  EXPECT_EQ(axis.w, 1.0f);
}

TEST(Transform, ReservedWordsAndCountAreRespected) {
  loadMatrix(translationMatrix(1, 1, 1));
  StarPoint source[2] = {point(1, 2, 3, 1), point(4, 5, 6, 1)};
  const std::uint32_t patterns[6] = {0x7FC00001u, 0xFFFFFFFFu, 0x7F800001u, 0, 0x80000000u, 0x12345678u};
  std::memcpy(source[0].reserved, patterns, sizeof patterns);
  StarPoint transformed[2];
  StarPoint projected[2];
  std::memset(transformed, 0xAB, sizeof transformed);
  std::memset(projected, 0xCD, sizeof projected);
  transformPoints(transformed, source, 1);
  projectPoints(projected, transformed, 1);
  EXPECT_EQ(std::memcmp(transformed[0].reserved, patterns, sizeof patterns), 0);
  EXPECT_EQ(std::memcmp(projected[0].reserved, patterns, sizeof patterns), 0);
  // Records past the count stay untouched, and a count of 0 writes nothing.
  const unsigned char* tail = reinterpret_cast<const unsigned char*>(&transformed[1]);
  for (std::size_t i = 0; i < sizeof(StarPoint); ++i) {
    ASSERT_EQ(tail[i], 0xAB);
  }
  StarPoint untouched[1];
  std::memset(untouched, 0xEE, sizeof untouched);
  transformPoints(untouched, source, 0);
  projectPoints(untouched, source, 0);
  EXPECT_EQ(reinterpret_cast<const unsigned char*>(untouched)[17], 0xEE);
}

TEST(Projection, KnownAnswers) {
  struct Case {
    StarPoint in;
    float x, y, z, w;
  };
  const Case cases[] = {
      {point(0, 0, 4, 1), 0.5f, 0.5f, 1.0f, 4.0f},
      {point(3, -3, 3, 1), 1.0f, 0.0f, 1.0f, 3.0f},
      {point(1, 0, -2, 1), 0.25f, 0.5f, 1.0f, -2.0f},  // behind the viewer: mirrored
      {point(1, 0, -2, 0), 0.25f, 0.5f, 1.0f, -2.0f},  // the input w plays no part
      {point(-2, 2, 2, 7), 0.0f, 1.0f, 1.0f, 2.0f},
  };
  for (const Case& c : cases) {
    StarPoint out{};
    projectPoints(&out, &c.in, 1);
    EXPECT_EQ(out.x, c.x);
    EXPECT_EQ(out.y, c.y);
    EXPECT_EQ(out.z, c.z);
    EXPECT_EQ(out.w, c.w);
  }
  // In place gives the same as two arrays.
  StarPoint pair[2] = {point(0.3f, -0.1f, 2.7f, 1), point(-0.48f, 0.5f, 0.05f, 1)};
  StarPoint separate[2];
  projectPoints(separate, pair, 2);
  projectPoints(pair, pair, 2);
  EXPECT_EQ(std::memcmp(pair, separate, sizeof pair), 0);
}

TEST(Projection, ZeroDepthGivesInfinityAndNaNWithoutATrap) {
  StarPoint in = point(1, 0, 0, 1);
  StarPoint out{};
  projectPoints(&out, &in, 1);
  EXPECT_EQ(out.x, std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(out.y));
  EXPECT_TRUE(std::isnan(out.z));
  EXPECT_EQ(out.w, 0.0f);
  StarPoint negative = point(-1, 0, 0, 1);
  projectPoints(&out, &negative, 1);
  EXPECT_EQ(out.x, -std::numeric_limits<float>::infinity());
}

// A sweep against the formula with every named intermediate a float; the
// same formula computed wholly in double differs on some of these points,
// so the sweep does tell the two apart.
TEST(Projection, EachIntermediateIsRoundedToSingle) {
  std::uint32_t seed = 7;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / 16777216.0f;
  };
  int differsFromDouble = 0;
  for (int i = 0; i < 100000; ++i) {
    StarPoint in = point(next() * 2 - 1, next() * 2 - 1, next() * 10 + 0.01f, 1);
    StarPoint out{};
    projectPoints(&out, &in, 1);
    const float x2 = in.x / in.z;
    const float x3 = 1.0f + x2;
    const float y2 = in.y / in.z;
    const float y3 = 1.0f + y2;
    ASSERT_EQ(bits(out.x), bits(x3 * 0.5f));
    ASSERT_EQ(bits(out.y), bits(y3 * 0.5f));
    const float wide = static_cast<float>((1.0 + static_cast<double>(in.x) / in.z) * 0.5);
    differsFromDouble += bits(wide) != bits(out.x);
  }
  EXPECT_GT(differsFromDouble, 0);
}

}  // namespace
