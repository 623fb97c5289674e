#pragma once
// Small CFF and Type 1 programs written byte by byte, so the charstring interpreters can be
// tested operator by operator.
#include <string>
#include <vector>

namespace kestrel::testing {

// Type 2 / Type 1 charstring pieces: a number (Type 2 encoding when `type2`), an operator.
std::string CsNum(double v, bool type2 = true);
std::string CsOp(int op);      // one-byte operator
std::string CsEsc(int op);     // 12 op

struct TTestCFF {
  std::vector<std::string> CharStrings;  // glyph 0 is .notdef
  std::vector<int> Charset;              // SID (or CID) of glyphs 1 ...
  std::vector<std::string> GlobalSubrs, LocalSubrs;
  std::vector<double> FontMatrix;        // empty: none written
  // CID-keyed when not empty: local subroutines of each font dictionary, and FDSelect.
  std::vector<std::vector<std::string>> FDSubrs;
  std::vector<int> FDSelect;
  std::string Build() const;
};

// A Type 1 program: clear text, then the private part encrypted in binary. Charstrings and
// subroutines are given in plain bytes and encrypted with lenIV 4. `readProc` is the name the
// program gives its read-string procedure.
struct TTestType1 {
  std::string EncodingText = "StandardEncoding";  // or an array built with dup ... put
  std::vector<std::string> Subrs;
  std::vector<std::pair<std::string, std::string>> CharStrings;
  std::string ReadProc = "RD";
  std::string Build(std::size_t* length1 = nullptr) const;
};

}  // namespace kestrel::testing
