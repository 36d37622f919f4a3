// Point transform and perspective projection over StarPoint arrays.
#include "math/transform.h"

#include "math/matrix.h"

namespace {

// The projection: (x, y, z, w) x P = (x, y, z, z) for finite inputs.
const Matrix4 projectionMatrix = {{
    {1.0f, 0.0f, 0.0f, 0.0f},
    {0.0f, 1.0f, 0.0f, 0.0f},
    {0.0f, 0.0f, 1.0f, 1.0f},
    {0.0f, 0.0f, 0.0f, 0.0f},
}};

// Each output column sums in double in the order y, x, z, w and is rounded
// to single once. The reserved words of the record stay as they are.
void multiplyPoint(StarPoint& point, const Matrix4& matrix) {
  const double x = point.x;
  const double y = point.y;
  const double z = point.z;
  const double w = point.w;
  float result[4];
  for (int column = 0; column < 4; ++column) {
    double sum = y * matrix.m[1][column];
    sum += x * matrix.m[0][column];
    sum += z * matrix.m[2][column];
    sum += w * matrix.m[3][column];
    result[column] = static_cast<float>(sum);
  }
  point.x = result[0];
  point.y = result[1];
  point.z = result[2];
  point.w = result[3];
}

}  // namespace

void transformPoints(StarPoint* dst, const StarPoint* src, std::uint32_t count) {
  const Matrix4 matrix = currentMatrix;
  for (std::uint32_t i = 0; i < count; ++i) {
    StarPoint point = src[i];
    multiplyPoint(point, matrix);
    dst[i] = point;
  }
}

// Every named intermediate is a float, so each is rounded to single.
void projectPoints(StarPoint* dst, const StarPoint* src, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    StarPoint point = src[i];
    multiplyPoint(point, projectionMatrix);
    const float depth = point.w;
    const float x2 = point.x / depth;
    const float y2 = point.y / depth;
    const float z2 = point.z / depth;
    const float x3 = 1.0f + x2;
    const float y3 = 1.0f + y2;
    point.x = x3 * 0.5f;
    point.y = y3 * 0.5f;
    point.z = z2;
    dst[i] = point;
  }
}
