// 4x4 transform matrices and the current transform.
//
// Conventions: sixteen single-precision floats, row-major (row r, column c is
// float 4r + c), used with row vectors: p' = p x M. Row 3 carries a
// translation; column 3 forms the output w. Angles are in degrees.
#pragma once

#include <cstdint>

struct Matrix4 {
  float m[4][4];
};
static_assert(sizeof(Matrix4) == 64);

// The current transform: sixteen zeros until the first loadMatrix.
extern Matrix4 currentMatrix;

// Every rotation builder scales its angle by this single, bit pattern
// 0x3C8EFA2E, which lies just below pi/180; rotations by 90 or 360 degrees
// are therefore not exact.
extern const float degreesToRadians;

// Each builder fills a static matrix of its own and returns its address,
// the same on every call; a later call of the same builder overwrites it.
Matrix4* identityMatrix();
Matrix4* rotationXMatrix(float angle);
Matrix4* rotationYMatrix(float angle);
Matrix4* rotationZMatrix(float angle);
Matrix4* translationMatrix(float tx, float ty, float tz);

// currentMatrix becomes a copy of the given matrix.
void loadMatrix(const Matrix4* matrix);
// currentMatrix becomes currentMatrix x matrix (the new matrix acts after the
// old transform); the argument may be currentMatrix itself.
void multMatrix(const Matrix4* matrix);
