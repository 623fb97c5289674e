#pragma once
// Operator arithmetic of the calculator language. Faults (division by zero, square root of a
// negative number, logarithm of 0, invalid powers, overflow) raise TPDFFunctionError.
#include <cstdint>

#include "engine/render/function/function_calculator.h"

namespace kestrel::calculator {

// An integer operand: rounded half to even, limited to +-2^53 where doubles are exact.
std::int64_t ToInteger(double v);

// Bitwise operators work on 32-bit integers, as PostScript's do.
double BitwiseNot(double a);
// and, or, xor; bitshift shifts left for a positive count, logically right for a negative one.
double Bitwise(TOp op, double a, double b);

bool Compare(TOp op, double a, double b);

// add sub mul div idiv mod atan exp, with a the deeper operand.
double Binary(TOp op, double a, double b);

// neg abs sqrt ceiling floor round truncate cvi cvr sin cos ln log.
double Unary(TOp op, double a);

// Sine and cosine of an angle in degrees; multiples of 30 degrees with exact results give them
// exactly (30 sin is 0.5, 90 cos is 0).
double SinDegrees(double degrees);
double CosDegrees(double degrees);

}  // namespace kestrel::calculator
