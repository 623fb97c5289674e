#include "engine/render/function/function_calculator_math.h"

#include <cmath>
#include <numbers>

#include "engine/render/function/function_support.h"

namespace kestrel::calculator {

using function_detail::Fail;

namespace {

constexpr double kExactLimit = 9007199254740992.0;  // 2^53

std::uint32_t ToBits(double v) {
  // Two's complement low 32 bits of the integer.
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ToInteger(v)));
}

double FromBits(std::uint32_t bits) { return static_cast<double>(static_cast<std::int32_t>(bits)); }

// Sine of an angle already reduced to [0, 360).
double SinReduced(double d) {
  const bool negative = d >= 180;
  if (negative) d -= 180;
  if (d > 90) d = 180 - d;  // now in [0, 90]
  double s;
  if (d == 0) s = 0;
  else if (d == 30) s = 0.5;
  else if (d == 90) s = 1;
  else s = std::sin(d * (std::numbers::pi / 180));
  return negative && s != 0 ? -s : s;  // no -0 for 180 sin
}

double Reduce(double degrees) {
  double d = std::fmod(degrees, 360.0);
  if (d < 0) d += 360;
  return d >= 360 ? 0 : d;
}

}  // namespace

std::int64_t ToInteger(double v) {
  const double r = std::nearbyint(v);
  if (!(r > -kExactLimit)) return r != r ? 0 : static_cast<std::int64_t>(-kExactLimit);
  if (r > kExactLimit) return static_cast<std::int64_t>(kExactLimit);
  return static_cast<std::int64_t>(r);
}

double BitwiseNot(double a) { return FromBits(~ToBits(a)); }

double Bitwise(TOp op, double a, double b) {
  const std::uint32_t x = ToBits(a);
  switch (op) {
    case TOp::And: return FromBits(x & ToBits(b));
    case TOp::Or: return FromBits(x | ToBits(b));
    case TOp::Xor: return FromBits(x ^ ToBits(b));
    default: {
      const std::int64_t shift = ToInteger(b);
      if (shift >= 32 || shift <= -32) return 0;
      return FromBits(shift >= 0 ? x << shift : x >> -shift);
    }
  }
}

bool Compare(TOp op, double a, double b) {
  switch (op) {
    case TOp::Eq: return a == b;
    case TOp::Ne: return a != b;
    case TOp::Gt: return a > b;
    case TOp::Ge: return a >= b;
    case TOp::Lt: return a < b;
    default: return a <= b;
  }
}

double Binary(TOp op, double a, double b) {
  switch (op) {
    case TOp::Add: return a + b;
    case TOp::Sub: return a - b;
    case TOp::Mul: return a * b;
    case TOp::Div:
      if (b == 0) Fail("division by zero in div");
      return a / b;
    case TOp::Idiv:
    case TOp::Mod: {
      const std::int64_t x = ToInteger(a), y = ToInteger(b);
      if (y == 0) Fail(op == TOp::Idiv ? "division by zero in idiv" : "division by zero in mod");
      // Both are within 2^53, so neither the quotient nor the remainder can overflow; C++
      // truncates the quotient and gives the remainder the sign of x.
      return static_cast<double>(op == TOp::Idiv ? x / y : x % y);
    }
    case TOp::Atan: {
      if (a == 0 && b == 0) Fail("atan of 0 over 0");
      double angle = std::atan2(a, b) * (180 / std::numbers::pi);
      if (angle < 0) angle += 360;
      return angle >= 360 ? 0 : angle + 0.0;  // + 0.0 turns -0 into 0
    }
    default:
      return function_detail::Power(a, b);
  }
}

double Unary(TOp op, double a) {
  switch (op) {
    case TOp::Neg: return -a;
    case TOp::Abs: return std::fabs(a);
    case TOp::Sqrt:
      if (a < 0) Fail("square root of a negative number");
      return std::sqrt(a);
    case TOp::Ceiling: return std::ceil(a);
    case TOp::Floor: return std::floor(a);
    case TOp::Round: return std::floor(a + 0.5);
    case TOp::Truncate:
    case TOp::Cvi: return std::trunc(a);
    case TOp::Sin: return SinDegrees(a);
    case TOp::Cos: return CosDegrees(a);
    case TOp::Ln:
    case TOp::Log:
      if (a <= 0) Fail("logarithm of a number not above 0");
      return op == TOp::Ln ? std::log(a) : std::log10(a);
    default:  // cvr
      return a;
  }
}

double SinDegrees(double degrees) { return SinReduced(Reduce(degrees)); }

double CosDegrees(double degrees) { return SinReduced(Reduce(Reduce(degrees) + 90)); }

}  // namespace kestrel::calculator
