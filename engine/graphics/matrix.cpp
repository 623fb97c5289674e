#include "engine/graphics/matrix.h"

#include <cmath>

namespace kestrel {

void SetMatrix(TPDFMatrix& m, double a, double b, double c, double d, double e, double f) {
  m = TPDFMatrix{a, b, c, d, e, f};
}

void MatrixMultiply(TPDFMatrix& result, const TPDFMatrix& A, const TPDFMatrix& B) {
  // Read everything first: the renderer passes the same record as result and B.
  const TPDFMatrix r{A.a * B.a + A.b * B.c,       A.a * B.b + A.b * B.d,
                     A.c * B.a + A.d * B.c,       A.c * B.b + A.d * B.d,
                     A.e * B.a + A.f * B.c + B.e, A.e * B.b + A.f * B.d + B.f};
  result = r;
}

TPDFPoint TransformPoint(const TPDFMatrix& m, double x, double y) {
  return {m.a * x + m.c * y + m.e, m.b * x + m.d * y + m.f};
}

TPDFPoint TransformVector(const TPDFMatrix& m, double dx, double dy) {
  return {m.a * dx + m.c * dy, m.b * dx + m.d * dy};
}

bool IsFiniteMatrix(const TPDFMatrix& m) {
  return std::isfinite(m.a) && std::isfinite(m.b) && std::isfinite(m.c) && std::isfinite(m.d) &&
         std::isfinite(m.e) && std::isfinite(m.f);
}

std::optional<TPDFMatrix> InvertMatrix(const TPDFMatrix& m) {
  if (!IsFiniteMatrix(m)) return std::nullopt;
  const double det = m.a * m.d - m.b * m.c;
  if (det == 0 || !std::isfinite(det)) return std::nullopt;
  const double inv = 1.0 / det;
  TPDFMatrix r{m.d * inv, -m.b * inv, -m.c * inv, m.a * inv, 0, 0};
  r.e = -(m.e * r.a + m.f * r.c);
  r.f = -(m.e * r.b + m.f * r.d);
  if (!IsFiniteMatrix(r)) return std::nullopt;
  return r;
}

}  // namespace kestrel
