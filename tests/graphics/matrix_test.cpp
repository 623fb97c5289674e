#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "engine/graphics/format_decimal.h"
#include "engine/graphics/matrix.h"

namespace kestrel {
namespace {

TEST(MatrixTest, MultiplyAppliesFirstOperandFirst) {
  // Scale by 2, then translate by (10, 0): (1, 1) -> (2, 2) -> (12, 2).
  const TPDFMatrix scale{2, 0, 0, 2, 0, 0};
  const TPDFMatrix shift{1, 0, 0, 1, 10, 0};
  TPDFMatrix m;
  MatrixMultiply(m, scale, shift);
  EXPECT_EQ(TransformPoint(m, 1, 1), (TPDFPoint{12, 2}));
  MatrixMultiply(m, shift, scale);
  EXPECT_EQ(TransformPoint(m, 1, 1), (TPDFPoint{22, 2}));
}

TEST(MatrixTest, MultiplyFollowsTheFormula) {
  const TPDFMatrix A{1, 2, 3, 4, 5, 6};
  const TPDFMatrix B{7, 8, 9, 10, 11, 12};
  TPDFMatrix r;
  MatrixMultiply(r, A, B);
  EXPECT_EQ(r, (TPDFMatrix{1 * 7 + 2 * 9, 1 * 8 + 2 * 10, 3 * 7 + 4 * 9, 3 * 8 + 4 * 10,
                           5 * 7 + 6 * 9 + 11, 5 * 8 + 6 * 10 + 12}));
}

TEST(MatrixTest, ResultMayAliasEitherOperand) {
  const TPDFMatrix M{0.5, 0.25, -1, 2, 3, -4};
  const TPDFMatrix ctm{2, 0.5, 0.3, -1.5, 100, 200};
  TPDFMatrix separate;
  MatrixMultiply(separate, M, ctm);

  TPDFMatrix aliasB = ctm;
  MatrixMultiply(aliasB, M, aliasB);
  EXPECT_EQ(aliasB, separate);

  TPDFMatrix aliasA = M;
  MatrixMultiply(aliasA, aliasA, ctm);
  EXPECT_EQ(aliasA, separate);
}

TEST(MatrixTest, TransformPointAndVector) {
  TPDFMatrix m;
  SetMatrix(m, 2, 0, 0, -2, 10, 100);
  EXPECT_EQ(TransformPoint(m, 1, 1), (TPDFPoint{12, 98}));
  EXPECT_EQ(TransformVector(m, 1, 1), (TPDFPoint{2, -2}));
}

TEST(MatrixTest, InverseUndoesTheMatrix) {
  const TPDFMatrix m{2, 1, -1, 3, 7, -5};
  const auto inv = InvertMatrix(m);
  ASSERT_TRUE(inv.has_value());
  const TPDFPoint p = TransformPoint(m, 3.5, -2);
  const TPDFPoint back = TransformPoint(*inv, p.x, p.y);
  EXPECT_NEAR(back.x, 3.5, 1e-12);
  EXPECT_NEAR(back.y, -2, 1e-12);
  TPDFMatrix both;
  MatrixMultiply(both, m, *inv);
  EXPECT_NEAR(both.a, 1, 1e-12);
  EXPECT_NEAR(both.b, 0, 1e-12);
  EXPECT_NEAR(both.e, 0, 1e-12);
}

TEST(MatrixTest, SingularOrNonFiniteMatricesHaveNoInverse) {
  EXPECT_FALSE(InvertMatrix({1, 2, 2, 4, 0, 0}).has_value());
  EXPECT_FALSE(InvertMatrix({0, 0, 0, 0, 1, 1}).has_value());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(InvertMatrix({1, 0, 0, 1, nan, 0}).has_value());
  EXPECT_FALSE(InvertMatrix({1e-200, 0, 0, 1e-200, 0, 0}).has_value());  // inverse overflows
}

TEST(FormatDecimalTest, DropsTrailingZerosAndPoint) {
  EXPECT_EQ(FormatDecimal(3, 0.5), "0.5");
  EXPECT_EQ(FormatDecimal(3, 3.0), "3");
  EXPECT_EQ(FormatDecimal(3, 1.0 / 3.0), "0.333");
  EXPECT_EQ(FormatDecimal(4, 2.0 / 3.0), "0.6667");
  EXPECT_EQ(FormatDecimal(4, -12.25), "-12.25");
  EXPECT_EQ(FormatDecimal(0, 12.75), "13");
  EXPECT_EQ(FormatDecimal(4, 100), "100");
  EXPECT_EQ(FormatDecimal(4, 0.00001), "0");
  EXPECT_EQ(FormatDecimal(4, -0.00001), "0");  // no "-0"
}

TEST(FormatDecimalTest, RoundsHalfToEven) {
  EXPECT_EQ(FormatDecimal(0, 2.5), "2");
  EXPECT_EQ(FormatDecimal(0, 3.5), "4");
  EXPECT_EQ(FormatDecimal(1, 0.25), "0.2");
  EXPECT_EQ(FormatDecimal(1, 0.75), "0.8");
}

TEST(FormatDecimalTest, OddValuesStayReadable) {
  EXPECT_EQ(FormatDecimal(4, std::numeric_limits<double>::quiet_NaN()), "0");
  EXPECT_EQ(FormatDecimal(4, std::numeric_limits<double>::infinity()), "0");
  EXPECT_EQ(FormatDecimal(4, 1e20), "100000000000000000000");
  EXPECT_EQ(FormatDecimal(-3, 1.4), "1");  // a negative count means no decimals
}

TEST(FormatDecimalTest, IgnoresTheLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "no German locale installed";
  }
  EXPECT_EQ(FormatDecimal(2, 1.5), "1.5");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
}  // namespace kestrel
