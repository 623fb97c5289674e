#pragma once
// Affine matrices in PDF order and row-vector convention: (x, y) maps to
// (a*x + c*y + e, b*x + d*y + f).
#include <optional>

namespace kestrel {

struct TPDFMatrix {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

  friend bool operator==(const TPDFMatrix&, const TPDFMatrix&) = default;
};

struct TPDFPoint {
  double x = 0, y = 0;

  friend bool operator==(const TPDFPoint&, const TPDFPoint&) = default;
};

void SetMatrix(TPDFMatrix& m, double a, double b, double c, double d, double e, double f);

inline TPDFMatrix IdentityMatrix() { return TPDFMatrix{}; }

// result := the transform that applies A first and then B. The result may alias A or B.
void MatrixMultiply(TPDFMatrix& result, const TPDFMatrix& A, const TPDFMatrix& B);

TPDFPoint TransformPoint(const TPDFMatrix& m, double x, double y);

// Maps a distance vector: the translation part is ignored.
TPDFPoint TransformVector(const TPDFMatrix& m, double dx, double dy);

// The inverse, or nothing when the matrix is singular or not finite.
std::optional<TPDFMatrix> InvertMatrix(const TPDFMatrix& m);

bool IsFiniteMatrix(const TPDFMatrix& m);

}  // namespace kestrel
