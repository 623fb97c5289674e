// The content tokenizer and operand numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/render/interpreter/renderer_operators.h"
#include "engine/syntax/content_tokenizer.h"

namespace kestrel {
namespace {

std::vector<std::string> Tokens(TByteView text) {
  TContentTokenizer t(text);
  std::vector<std::string> out;
  for (TByteView tok = t.Next(); !tok.empty(); tok = t.Next()) out.emplace_back(tok);
  return out;
}

using V = std::vector<std::string>;

TEST(ContentTokenizer, RegularTokensAndDelimiters) {
  EXPECT_EQ(Tokens("10 20 m\r\n30\t40 l\fS"), (V{"10", "20", "m", "30", "40", "l", "S"}));
  // A leading "/" belongs to the token, and the next "/" starts a new one.
  EXPECT_EQ(Tokens("/F1/F2 12 Tf"), (V{"/F1", "/F2", "12", "Tf"}));
  EXPECT_EQ(Tokens("[1 2]0 d"), (V{"[", "1", "2", "]", "0", "d"}));
  EXPECT_EQ(Tokens("(a)'(b)\""), (V{"(a)", "'", "(b)", "\""}));
  // Byte 11 is not whitespace.
  EXPECT_EQ(Tokens("a\vb c"), (V{"a\vb", "c"}));
  EXPECT_EQ(Tokens("S"), (V{"S"}));
  EXPECT_TRUE(Tokens(" \n\t ").empty());
}

TEST(ContentTokenizer, StringsKeepTheirBrackets) {
  EXPECT_EQ(Tokens("(a (nested) \\) b)Tj"), (V{"(a (nested) \\) b)", "Tj"}));
  EXPECT_EQ(Tokens("<48 65>Tj"), (V{"<48 65>", "Tj"}));
  // Unterminated strings run to the end.
  EXPECT_EQ(Tokens("(abc"), (V{"(abc"}));
  EXPECT_EQ(Tokens("<4142"), (V{"<4142"}));
}

TEST(ContentTokenizer, DictionariesAreOneToken) {
  EXPECT_EQ(Tokens("/P <</MCID 0 /Alt (a>>b) /D <</X 1>> >> BDC"),
            (V{"/P", "<</MCID 0 /Alt (a>>b) /D <</X 1>> >>", "BDC"}));
  EXPECT_EQ(Tokens("<< /A 1"), (V{"<< /A 1"}));
}

TEST(ContentTokenizer, CommentsAreSkipped) {
  EXPECT_EQ(Tokens("% 0 0 m 9 9 l S\n1 w %tail\r2 w"), (V{"1", "w", "2", "w"}));
  // A "%" inside a string is not a comment.
  EXPECT_EQ(Tokens("(50%) Tj"), (V{"(50%)", "Tj"}));
}

TEST(ContentTokenizer, OffsetIsTheNextUnreadByte) {
  TContentTokenizer t("12 m");
  EXPECT_EQ(t.Next(), "12");
  EXPECT_EQ(t.Offset(), 2u);
  t.SetOffset(100);
  EXPECT_TRUE(t.AtEnd());
  EXPECT_TRUE(t.Next().empty());
}

TEST(ContentTokenizer, OperandNumbers) {
  EXPECT_DOUBLE_EQ(OperandNumber("12"), 12);
  EXPECT_DOUBLE_EQ(OperandNumber("-3.25"), -3.25);
  EXPECT_DOUBLE_EQ(OperandNumber(".5"), 0.5);
  EXPECT_DOUBLE_EQ(OperandNumber("4."), 4);
  EXPECT_DOUBLE_EQ(OperandNumber("+7"), 7);
  EXPECT_DOUBLE_EQ(OperandNumber("--2"), -2);
  EXPECT_DOUBLE_EQ(OperandNumber("1e5"), 1);  // no exponents in PDF numbers
  EXPECT_DOUBLE_EQ(OperandNumber("/Name"), 0);
  EXPECT_DOUBLE_EQ(OperandNumber("-"), 0);
  EXPECT_DOUBLE_EQ(OperandNumber(""), 0);
  EXPECT_DOUBLE_EQ(OperandNumber("123456789012345678901234567890"), 1.2345678901234568e29);
  EXPECT_DOUBLE_EQ(OperandNumber("0.000000000000000001"), 0);  // beyond the kept decimals
}

TEST(ContentOperators, Lookup) {
  EXPECT_EQ(LookupOperator("re"), TContentOp::Rectangle);
  EXPECT_EQ(LookupOperator("f*"), TContentOp::FillEvenOdd);
  EXPECT_EQ(LookupOperator("F"), TContentOp::Fill);
  EXPECT_EQ(LookupOperator("scn"), TContentOp::FillColor);
  EXPECT_EQ(LookupOperator("SCN"), TContentOp::StrokeColor);
  EXPECT_EQ(LookupOperator("T*"), TContentOp::NextLine);
  EXPECT_EQ(LookupOperator("\""), TContentOp::SpacingNextLineShow);
  EXPECT_EQ(LookupOperator("ET"), TContentOp::EndText);  // applies the text clip
  EXPECT_EQ(LookupOperator("ri"), TContentOp::Intent);
  for (const char* unknown : {"d0", "i", "BX", "EX", "MP", "DP", "ID", "EI", "rex", ""})
    EXPECT_EQ(LookupOperator(unknown), TContentOp::None) << unknown;
}

}  // namespace
}  // namespace kestrel
