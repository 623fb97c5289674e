#include <gtest/gtest.h>

#include "engine/fonts/type1/cff_standard_data.h"
#include "engine/fonts/type1/type1_decoder.h"
#include "support/recording_canvas.h"
#include "fonts/font_program_builder.h"

namespace kestrel {
namespace {

using testing::CsEsc;
using testing::CsNum;
using testing::CsOp;

std::string Nums(std::initializer_list<double> values, bool type2 = true) {
  std::string s;
  for (double v : values) s += CsNum(v, type2);
  return s;
}

int SID(std::string_view name) {
  for (int sid = 0; sid < kCFFStandardStringCount; ++sid)
    if (CFFStandardString(sid) == name) return sid;
  return -1;
}

std::string Draw(TPDFType1Decoder& decoder, std::string_view glyph, bool* found = nullptr) {
  TRecordingCanvas canvas(false);
  const bool ok = decoder.DrawGlyph(canvas, TPDFMatrix{}, 0, 0, glyph);
  if (found) *found = ok;
  return canvas.Text();
}

// One glyph "A" per case, next to "acute" for accents; local and global subroutine 0 draw
// a line of (5, 0) and (0, 5).
struct TType2Case {
  const char* What;
  std::string CharString;
  const char* Expected;
};

TEST(Type2CharstringTest, OperatorsDrawTheirOutlines) {
  const std::string acute = Nums({0, 0}) + CsOp(21) + Nums({0, 50}) + CsOp(5) + CsOp(14);
  const std::vector<TType2Case> cases = {
      {"rmoveto with two operands takes no width",
       Nums({100, 200}) + CsOp(21) + Nums({10, 0}) + CsOp(5) + CsOp(14),
       "MoveTo 100 200\nLineTo 110 200\nClosePath\n"},
      {"rmoveto with three operands takes the first as the width",
       Nums({50, 100, 200}) + CsOp(21) + Nums({10, 0}) + CsOp(5) + CsOp(14),
       "MoveTo 100 200\nLineTo 110 200\nClosePath\n"},
      {"hintmask after three stems skips one byte, after nine two",
       Nums({1, 2, 3, 4}) + CsOp(18) + Nums({5, 6}) + CsOp(19) + "\x15" + Nums({0, 0}) + CsOp(21) +
           Nums({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}) + CsOp(23) + CsOp(19) + "\x08\x15" +
           Nums({7, 0}) + CsOp(5) + CsOp(14),
       "MoveTo 0 0\nLineTo 7 0\nClosePath\n"},
      {"callsubr and callgsubr with bias 107",
       Nums({0, 0}) + CsOp(21) + Nums({-107}) + CsOp(10) + Nums({-107}) + CsOp(29) + CsOp(14),
       "MoveTo 0 0\nLineTo 5 0\nLineTo 5 5\nClosePath\n"},
      {"alternating lines and curves",
       Nums({0, 0}) + CsOp(21) + Nums({10, 20, 30}) + CsOp(6) + Nums({1, 2, 3, 4, 5}) + CsOp(31) +
           CsOp(14),
       "MoveTo 0 0\nLineTo 10 0\nLineTo 10 20\nLineTo 40 20\nCurveTo 41 20 43 23 48 27\nClosePath\n"},
      {"hflex ends at its starting height",
       Nums({0, 0}) + CsOp(21) + Nums({10, 10, 5, 10, 10, 10, 10}) + CsEsc(34) + CsOp(14),
       "MoveTo 0 0\nCurveTo 10 0 20 5 30 5\nCurveTo 40 5 50 0 60 0\nClosePath\n"},
      {"arithmetic: 7 3 sub 2 mul, then roll",
       Nums({0, 0}) + CsOp(21) + Nums({7, 3}) + CsEsc(11) + Nums({2}) + CsEsc(24) + Nums({1}) +
           Nums({2, 1}) + CsEsc(30) + CsOp(5) + CsOp(14),
       "MoveTo 0 0\nLineTo 1 8\nClosePath\n"},
      {"endchar with four operands draws base and accent",
       Nums({40, 60, 0xC2, 0xC2}) + CsOp(14), "MoveTo 0 0\nLineTo 0 50\nClosePath\nMoveTo 40 60\nLineTo 40 110\nClosePath\n"},
      {"stack overflow keeps what was drawn",
       Nums({0, 0}) + CsOp(21) + Nums({3, 0}) + CsOp(5) + std::string(60, '\x8c') + CsOp(14),
       "MoveTo 0 0\nLineTo 3 0\nClosePath\n"},
      {"a subroutine calling itself stops at the depth limit",
       Nums({0, 0}) + CsOp(21) + Nums({-106}) + CsOp(10) + CsOp(14), ""},
  };
  for (const TType2Case& c : cases) {
    SCOPED_TRACE(c.What);
    testing::TTestCFF font;
    font.CharStrings = {CsOp(14), c.CharString, acute};
    font.Charset = {SID("A"), SID("acute")};
    font.LocalSubrs = {Nums({5, 0}) + CsOp(5) + CsOp(11), Nums({-106}) + CsOp(10) + Nums({1, 1}) + CsOp(5)};
    font.GlobalSubrs = {Nums({0, 5}) + CsOp(5) + CsOp(11)};
    TPDFType1Decoder decoder;
    ASSERT_TRUE(decoder.LoadCFFProgram(font.Build()));
    EXPECT_EQ(Draw(decoder, "A"), c.Expected);
  }
}

TEST(Type2CharstringTest, CidKeyedFontUsesItsFontDictionarySubroutines) {
  testing::TTestCFF font;
  const std::string viaSubr = Nums({0, 0}) + CsOp(21) + Nums({-107}) + CsOp(10) + CsOp(14);
  font.CharStrings = {CsOp(14), viaSubr, viaSubr};
  font.Charset = {120, 7};  // glyph 1 is CID 120, glyph 2 CID 7
  font.FDSubrs = {{Nums({10, 0}) + CsOp(5) + CsOp(11)}, {Nums({0, 10}) + CsOp(5) + CsOp(11)}};
  font.FDSelect = {0, 1, 0};
  TPDFType1Decoder decoder;
  ASSERT_TRUE(decoder.LoadCFFProgram(font.Build()));
  EXPECT_TRUE(decoder.CIDKeyed());
  EXPECT_EQ(Draw(decoder, "GID:120"), "MoveTo 0 0\nLineTo 0 10\nClosePath\n");
  EXPECT_EQ(Draw(decoder, "CID:7"), "MoveTo 0 0\nLineTo 10 0\nClosePath\n");
  bool found = true;
  EXPECT_EQ(Draw(decoder, "GID:2", &found), "");
  EXPECT_FALSE(found);
}

TEST(Type2CharstringTest, FontMatrixSetsTheGlyphScale) {
  testing::TTestCFF font;
  font.CharStrings = {CsOp(14), Nums({0, 0}) + CsOp(21) + Nums({1000, 0}) + CsOp(5) + CsOp(14)};
  font.Charset = {SID("A")};
  font.FontMatrix = {0.0005, 0, 0, 0.0005, 0, 0};
  TPDFType1Decoder decoder;
  ASSERT_TRUE(decoder.LoadCFFProgram(font.Build()));
  EXPECT_DOUBLE_EQ(decoder.GlyphScale(), 0.5);
  TRecordingCanvas canvas(false);
  // Outline and origin are both in font units and halved: advance 200 units -> 100.
  decoder.DrawGlyph(canvas, TPDFMatrix{}, 200, 0, "A");
  EXPECT_EQ(canvas.Text(), "MoveTo 100 0\nLineTo 600 0\nClosePath\n");
}

// Type 1: seac accents, flex through the other-subroutines, a read procedure named "-|",
// an Encoding array and a division.
TEST(Type1CharstringTest, SeacFlexAndProcedureNames) {
  auto t1 = [](std::initializer_list<double> v) { return Nums(v, false); };
  testing::TTestType1 font;
  font.ReadProc = "-|";
  font.EncodingText = "256 array 0 1 255 {1 index exch /.notdef put} for dup 65 /A put readonly";
  font.Subrs = {t1({3, 0}) + CsEsc(16) + CsEsc(17) + CsEsc(17) + CsEsc(33) + CsOp(11),
                t1({0, 1}) + CsEsc(16) + CsOp(11), t1({0, 2}) + CsEsc(16) + CsOp(11), CsOp(11)};
  const std::string base = t1({10, 500}) + CsOp(13) + t1({0, 0}) + CsOp(21) + t1({100, 0}) + CsOp(5) +
                           CsOp(9) + CsOp(14);
  const std::string acute = t1({20, 300}) + CsOp(13) + t1({0, 0}) + CsOp(21) + t1({0, 50}) + CsOp(5) +
                            CsOp(14);
  // Flex from (0, 0): reference (30, 0), then (10, 10) (20, 10) (30, 0) (40, -10) (50, -10) (60, 0).
  std::string flex = t1({0, 500}) + CsOp(13) + t1({0, 0}) + CsOp(21) + t1({1}) + CsOp(10);
  for (auto [dx, dy] : std::vector<std::pair<int, int>>{{30, 0}, {-20, 10}, {10, 0}, {10, -10},
                                                        {10, -10}, {10, 0}, {10, 10}})
    flex += t1({static_cast<double>(dx), static_cast<double>(dy)}) + CsOp(21) + t1({2}) + CsOp(10);
  flex += t1({50, 50, 60}) + t1({0}) + CsOp(10) + t1({6000, 3}) + CsEsc(12) + t1({0}) + CsOp(5) +
          CsOp(9) + CsOp(14);
  font.CharStrings = {{".notdef", t1({0, 0}) + CsOp(13) + CsOp(14)},
                      {"A", base},
                      {"acute", acute},
                      {"Aacute", t1({20, 30, 200, 65, 194}) + CsEsc(6)},
                      {"flexed", flex}};
  std::size_t length1 = 0;
  const std::string program = font.Build(&length1);
  TPDFType1Decoder decoder;
  ASSERT_TRUE(decoder.LoadType1Program(program, length1));
  EXPECT_EQ(decoder.BuiltInEncoding()[65], "A");
  EXPECT_EQ(decoder.BuiltInEncoding()[66], ".notdef");
  EXPECT_EQ(Draw(decoder, "Aacute"),
            "MoveTo 10 0\nLineTo 110 0\nClosePath\nMoveTo 30 200\nLineTo 30 250\nClosePath\n");
  // The flex ends where othersubr 0 says (50, 60 through setcurrentpoint), then 6000 / 3.
  EXPECT_EQ(Draw(decoder, "flexed"),
            "MoveTo 0 0\nCurveTo 10 10 20 10 30 0\nCurveTo 40 -10 50 -10 60 0\nLineTo 2050 60\nClosePath\n");
}

}  // namespace
}  // namespace kestrel
