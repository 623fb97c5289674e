#pragma once
// The PostScript calculator language of FunctionType 4, compiled once into instructions.
#include <cstdint>
#include <vector>

#include "engine/syntax/bytes.h"

namespace kestrel::calculator {

enum class TOp : std::uint8_t {
  Push, Proc, If, IfElse,
  Add, Sub, Mul, Div, Idiv, Mod, Neg, Abs, Sqrt,
  Ceiling, Floor, Round, Truncate, Cvi, Cvr,
  Sin, Cos, Atan, Exp, Ln, Log,
  Eq, Ne, Gt, Ge, Lt, Le,
  And, Or, Xor, Not, Bitshift, True, False,
  Pop, Exch, Dup, Copy, Index, Roll,
};

struct TInstr {
  TOp Op;
  std::uint32_t Proc = 0;  // Proc: the procedure it makes pending
  double Value = 0;        // Push: the number
};

// Procedure 0 is the program itself; a Proc instruction names a later procedure. Running a
// procedure is the same as reading its text at that point of the program, so each
// instruction runs at most once per evaluation.
struct TProgram {
  std::vector<std::vector<TInstr>> Procs;
  const char* Error = nullptr;  // set when the program exceeds the limits; it cannot run
};

// The program text without its outer braces: a leading "{" (after white space) is removed,
// then the text ends before its last "}" (without one, the last character is dropped).
TByteView PrepareText(TByteView text);

// Compiles the stream's text. Unknown words and stray "}" are dropped, a "{" without its "}"
// runs to the end, a word that does not start with a-z reads as a number (0 unless the whole
// word is one).
TProgram Compile(TByteView text);

// A number token: optional sign, digits with at most one ".", optional exponent.
double NumberValue(TByteView token);

}  // namespace kestrel::calculator
