// Matrix builders, the current transform and its multiplication.
#include "math/matrix.h"

#include <bit>
#include <cmath>

Matrix4 currentMatrix = {};

const float degreesToRadians = std::bit_cast<float>(std::uint32_t{0x3C8EFA2E});

namespace {

Matrix4 identityStorage;
Matrix4 rotationXStorage;
Matrix4 rotationYStorage;
Matrix4 rotationZStorage;
Matrix4 translationStorage;

void setIdentity(Matrix4& matrix) {
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      matrix.m[row][column] = row == column ? 1.0f : 0.0f;
    }
  }
}

// The angle is scaled in double, where the product of two singles is exact;
// cosine and sine are rounded to single once.
struct CosineSine {
  float c;
  float s;
};

CosineSine cosineSine(float angle) {
  const double radians = static_cast<double>(angle) * static_cast<double>(degreesToRadians);
  return {static_cast<float>(std::cos(radians)), static_cast<float>(std::sin(radians))};
}

}  // namespace

Matrix4* identityMatrix() {
  setIdentity(identityStorage);
  return &identityStorage;
}

// X turns +Y towards +Z: y' = y c - z s, z' = y s + z c.
Matrix4* rotationXMatrix(float angle) {
  const auto [c, s] = cosineSine(angle);
  setIdentity(rotationXStorage);
  rotationXStorage.m[1][1] = c;
  rotationXStorage.m[1][2] = s;
  rotationXStorage.m[2][1] = -s;
  rotationXStorage.m[2][2] = c;
  return &rotationXStorage;
}

// Y turns +Z towards +X: x' = x c + z s, z' = z c - x s.
Matrix4* rotationYMatrix(float angle) {
  const auto [c, s] = cosineSine(angle);
  setIdentity(rotationYStorage);
  rotationYStorage.m[0][0] = c;
  rotationYStorage.m[0][2] = -s;
  rotationYStorage.m[2][0] = s;
  rotationYStorage.m[2][2] = c;
  return &rotationYStorage;
}

// Z turns +X towards +Y: x' = x c - y s, y' = x s + y c.
Matrix4* rotationZMatrix(float angle) {
  const auto [c, s] = cosineSine(angle);
  setIdentity(rotationZStorage);
  rotationZStorage.m[0][0] = c;
  rotationZStorage.m[0][1] = s;
  rotationZStorage.m[1][0] = -s;
  rotationZStorage.m[1][1] = c;
  return &rotationZStorage;
}

Matrix4* translationMatrix(float tx, float ty, float tz) {
  setIdentity(translationStorage);
  translationStorage.m[3][0] = tx;
  translationStorage.m[3][1] = ty;
  translationStorage.m[3][2] = tz;
  return &translationStorage;
}

void loadMatrix(const Matrix4* matrix) {
  currentMatrix = *matrix;
}

// Each element sums its four products in double, in the order 1, 0, 2, 3,
// and is rounded to single once; the picture depends on that order.
void multMatrix(const Matrix4* matrix) {
  const Matrix4 right = *matrix;
  const Matrix4& left = currentMatrix;
  Matrix4 result;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double sum = static_cast<double>(left.m[i][1]) * right.m[1][j];
      sum += static_cast<double>(left.m[i][0]) * right.m[0][j];
      sum += static_cast<double>(left.m[i][2]) * right.m[2][j];
      sum += static_cast<double>(left.m[i][3]) * right.m[3][j];
      result.m[i][j] = static_cast<float>(sum);
    }
  }
  currentMatrix = result;
}
