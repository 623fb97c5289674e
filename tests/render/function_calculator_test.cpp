// PostScript calculator functions (FunctionType 4).
#include <cmath>
#include <numbers>
#include <string>

#include "engine/render/function/function_calculator.h"
#include "engine/render/renderer_limits.h"
#include "engine/render/function/function_type4.h"
#include "function_test_support.h"

using namespace functiontest;

namespace {

// A calculator function with `inputs` inputs over [-1e6, 1e6] and `outputs` outputs over
// [-1e10, 1e10] (outputs are clamped to the range).
std::unique_ptr<TPDFFunction> Calc(FunctionPool& p, const std::string& program, int inputs = 1,
                                   int outputs = 1) {
  std::string domain, range;
  for (int i = 0; i < inputs; ++i) domain += " -1000000 1000000";
  for (int i = 0; i < outputs; ++i) range += " -10000000000 10000000000";
  auto f = p.MakeStream("<< /FunctionType 4 /Domain [" + domain + " ] /Range [" + range + " ] >>",
                        program);
  EXPECT_NE(f, nullptr) << program;
  return f;
}

// The single output of a program without inputs.
double Value(const std::string& program) {
  FunctionPool p;
  auto f = Calc(p, program, 0, 1);
  return f ? Eval(*f, {})[0] : std::nan("");
}

// All `count` outputs of a program without inputs.
std::vector<double> RunAll(const std::string& program, int count) {
  FunctionPool p;
  auto f = Calc(p, program, 0, count);
  return f ? Eval(*f, {}) : std::vector<double>{};
}

bool RunFails(const std::string& program) {
  FunctionPool p;
  auto f = Calc(p, program, 0, 1);
  return f && Fails(*f, {});
}

}  // namespace

TEST(FunctionCalculator, EdgeCasesOfTheLanguage) {
  FunctionPool p;
  auto twice = Calc(p, "{ 2 mul }");
  EXPECT_DOUBLE_EQ(Eval(*twice, {0.25})[0], 0.5);
  auto step = Calc(p, "{ dup 0.5 gt { pop 1 } { pop 0 } ifelse }");
  EXPECT_EQ(Eval(*step, {0.7})[0], 1);
  EXPECT_EQ(Eval(*step, {0.3})[0], 0);
  EXPECT_EQ(Value("{ 1 0 atan }"), 90);
  EXPECT_EQ(Value("{ 0 -1 atan }"), 180);
  EXPECT_EQ(Value("{ 30 sin }"), 0.5);
  EXPECT_EQ(Value("{ -2.5 round }"), -2);
  EXPECT_EQ(Value("{ 2.5 round }"), 3);
  EXPECT_EQ(Value("{ 2.7 cvi }"), 2);
  EXPECT_EQ(Value("{ 1 3 bitshift }"), 8);
  EXPECT_EQ(Value("{ 8 -3 bitshift }"), 1);
}

TEST(FunctionCalculator, Arithmetic) {
  EXPECT_EQ(Value("{ 2 3 add }"), 5);
  EXPECT_EQ(Value("{ 2 3 sub }"), -1);
  EXPECT_EQ(Value("{ 2.5 4 mul }"), 10);
  EXPECT_EQ(Value("{ 1 4 div }"), 0.25);
  EXPECT_EQ(Value("{ 7 2 idiv }"), 3);
  EXPECT_EQ(Value("{ -7 2 idiv }"), -3);
  EXPECT_EQ(Value("{ 7.5 2 idiv }"), 4);  // integer operands round half to even: 8 / 2
  EXPECT_EQ(Value("{ 6.5 2 idiv }"), 3);  // 6 / 2
  EXPECT_EQ(Value("{ -7 2 mod }"), -1);   // the sign of the dividend
  EXPECT_EQ(Value("{ 7 -2 mod }"), 1);
  EXPECT_EQ(Value("{ 3 neg }"), -3);
  EXPECT_EQ(Value("{ -3.5 abs }"), 3.5);
  EXPECT_EQ(Value("{ 2.25 sqrt }"), 1.5);
  EXPECT_EQ(Value("{ -1.5 ceiling }"), -1);
  EXPECT_EQ(Value("{ -1.5 floor }"), -2);
  EXPECT_EQ(Value("{ -1.7 truncate }"), -1);
  EXPECT_EQ(Value("{ -2.7 cvi }"), -2);
  EXPECT_EQ(Value("{ 2.7 cvr }"), 2.7);
  EXPECT_EQ(Value("{ 2 10 exp }"), 1024);
  EXPECT_EQ(Value("{ -2 3 exp }"), -8);
  EXPECT_EQ(Value("{ 9 0.5 exp }"), 3);
  EXPECT_EQ(Value("{ 100 log }"), 2);
  EXPECT_EQ(Value("{ 1 ln }"), 0);
  EXPECT_DOUBLE_EQ(Value("{ 2.718281828459045 ln }"), 1);
}

TEST(FunctionCalculator, TrigonometryInDegrees) {
  EXPECT_EQ(Value("{ 90 cos }"), 0);
  EXPECT_EQ(Value("{ 180 sin }"), 0);
  EXPECT_FALSE(std::signbit(Value("{ 180 sin }")));
  EXPECT_EQ(Value("{ 270 sin }"), -1);
  EXPECT_EQ(Value("{ 360 cos }"), 1);
  EXPECT_EQ(Value("{ 60 cos }"), 0.5);
  EXPECT_EQ(Value("{ -30 sin }"), -0.5);
  EXPECT_EQ(Value("{ 750 sin }"), 0.5);
  EXPECT_NEAR(Value("{ 45 sin }"), std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(Value("{ 10 cos }"), std::cos(10 * std::numbers::pi / 180), 1e-15);
  EXPECT_EQ(Value("{ 0 1 atan }"), 0);
  EXPECT_EQ(Value("{ -1 0 atan }"), 270);
  EXPECT_DOUBLE_EQ(Value("{ 1 1 atan }"), 45);
  EXPECT_DOUBLE_EQ(Value("{ -1 -1 atan }"), 225);
  EXPECT_DOUBLE_EQ(Value("{ -1 1 atan }"), 315);
}

TEST(FunctionCalculator, StackOperators) {
  EXPECT_EQ(RunAll("{ 1 2 3 3 1 roll }", 3), (std::vector<double>{3, 1, 2}));
  EXPECT_EQ(RunAll("{ 1 2 3 3 -1 roll }", 3), (std::vector<double>{2, 3, 1}));
  EXPECT_EQ(RunAll("{ 1 2 3 3 1000000001 roll }", 3), (std::vector<double>{2, 3, 1}));
  EXPECT_EQ(RunAll("{ 9 1 2 3 2 1 roll }", 4), (std::vector<double>{9, 1, 3, 2}));
  EXPECT_EQ(RunAll("{ 1 2 3 2 index }", 4), (std::vector<double>{1, 2, 3, 1}));
  EXPECT_EQ(RunAll("{ 1 2 3 0 index }", 4), (std::vector<double>{1, 2, 3, 3}));
  EXPECT_EQ(RunAll("{ 1 2 2 copy }", 4), (std::vector<double>{1, 2, 1, 2}));
  EXPECT_EQ(RunAll("{ 1 2 0 copy }", 2), (std::vector<double>{1, 2}));
  EXPECT_EQ(RunAll("{ 1 2 exch }", 2), (std::vector<double>{2, 1}));
  EXPECT_EQ(RunAll("{ 1 2 dup }", 3), (std::vector<double>{1, 2, 2}));
  EXPECT_EQ(RunAll("{ 1 2 3 pop }", 2), (std::vector<double>{1, 2}));
  // Popping an empty stack gives 0; out-of-range counts are bounded by the stack.
  EXPECT_EQ(Value("{ pop pop add 7 add }"), 7);
  EXPECT_EQ(RunAll("{ 5 6 99 index }", 3), (std::vector<double>{5, 6, 0}));
  EXPECT_EQ(RunAll("{ 5 6 -1 index }", 3), (std::vector<double>{5, 6, 0}));
  EXPECT_EQ(RunAll("{ 5 6 1000000000 copy }", 4), (std::vector<double>{5, 6, 5, 6}));
  EXPECT_EQ(RunAll("{ 5 6 7 99 1 roll }", 3), (std::vector<double>{7, 5, 6}));
}

TEST(FunctionCalculator, ComparisonsAndConditionals) {
  EXPECT_EQ(RunAll("{ 1 1 eq 1 2 eq 1 2 ne 2 1 gt 1 1 ge 2 1 lt 2 2 le }", 7),
            (std::vector<double>{1, 0, 1, 1, 1, 0, 1}));
  FunctionPool p;
  auto tiers = Calc(p, "{ dup 0.5 gt { dup 0.75 gt { pop 3 } { pop 2 } ifelse } { pop 1 } "
                       "ifelse }");
  EXPECT_EQ(Eval(*tiers, {0.9})[0], 3);
  EXPECT_EQ(Eval(*tiers, {0.6})[0], 2);
  EXPECT_EQ(Eval(*tiers, {0.1})[0], 1);
  auto clip = Calc(p, "{ dup 1 gt { pop 1 } if dup 0 lt { pop 0 } if }");
  EXPECT_EQ(Eval(*clip, {5})[0], 1);
  EXPECT_EQ(Eval(*clip, {-5})[0], 0);
  EXPECT_EQ(Eval(*clip, {0.25})[0], 0.25);
  // Two inputs, three outputs: the pair sorted, then its difference (1 when equal).
  auto mix = Calc(p, "{ 2 copy gt { exch } if 2 copy exch sub dup 0 eq { pop 1 } if }", 2, 3);
  EXPECT_EQ(Eval(*mix, {4, 9}), (std::vector<double>{4, 9, 5}));
  EXPECT_EQ(Eval(*mix, {9, 4}), (std::vector<double>{4, 9, 5}));
  EXPECT_EQ(Eval(*mix, {3, 3}), (std::vector<double>{3, 3, 1}));
}

TEST(FunctionCalculator, BitwiseAndBooleans) {
  EXPECT_EQ(Value("{ 12 10 and }"), 8);
  EXPECT_EQ(Value("{ 12 10 or }"), 14);
  EXPECT_EQ(Value("{ 12 10 xor }"), 6);
  EXPECT_EQ(Value("{ 5 not }"), -6);
  EXPECT_EQ(Value("{ -8 -1 bitshift }"), 2147483644);  // logical shift of 32 bits
  EXPECT_EQ(Value("{ 1 31 bitshift }"), -2147483648.0);
  EXPECT_EQ(Value("{ 1 32 bitshift }"), 0);
  EXPECT_EQ(Value("{ 1 -40 bitshift }"), 0);
  EXPECT_EQ(Value("{ true }"), 1);
  EXPECT_EQ(Value("{ false }"), 0);
  EXPECT_EQ(Value("{ true false or }"), 1);
  EXPECT_EQ(Value("{ true false and }"), 0);
  // not of a boolean is its negation, so conditions can be inverted.
  EXPECT_EQ(Value("{ true not }"), 0);
  EXPECT_EQ(Value("{ false not }"), 1);
  EXPECT_EQ(Value("{ 1 2 gt not { 7 } { 8 } ifelse }"), 7);
  EXPECT_EQ(Value("{ 1 2 lt 2 3 lt and not { 7 } { 8 } ifelse }"), 8);
}

TEST(FunctionCalculator, NumbersAndWords) {
  EXPECT_EQ(Value("{ +5 }"), 5);
  EXPECT_EQ(Value("{ .5 }"), 0.5);
  EXPECT_EQ(Value("{ 5. }"), 5);
  EXPECT_EQ(Value("{ -.5e1 }"), -5);
  EXPECT_EQ(Value("{ 1E2 }"), 100);
  // Non-numbers read as 0: bad forms, overflow, words not starting with a-z.
  EXPECT_EQ(Value("{ 7 12abc }"), 0);
  EXPECT_EQ(Value("{ 7 1e400 }"), 0);
  EXPECT_EQ(Value("{ 7 -inf }"), 0);
  EXPECT_EQ(Value("{ 7 Add }"), 0);
  EXPECT_EQ(Value("{ 7 - }"), 0);
  // Unknown lowercase words are ignored.
  EXPECT_EQ(Value("{ 7 frobnicate }"), 7);
  EXPECT_EQ(calculator::NumberValue("0x10"), 0);
  EXPECT_EQ(calculator::NumberValue("-12.25"), -12.25);
}

TEST(FunctionCalculator, ProgramTextAndBraces) {
  FunctionPool p;
  // White space before the opening brace, separators of every kind.
  auto f = Calc(p, std::string("\r\n\t { 2\x0c" "3\tadd\0mul }\n", 20), 1, 1);
  EXPECT_EQ(Eval(*f, {2})[0], 10);
  // No braces at all: the last character is dropped.
  auto bare = Calc(p, "3 add\n");
  EXPECT_EQ(Eval(*bare, {1})[0], 4);
  // A stray "}" is ignored; text after the last "}" is not part of the program.
  auto stray = Calc(p, "{ 2 } mul } 100 add");
  EXPECT_EQ(Eval(*stray, {4})[0], 8);
  // An unclosed procedure runs to the end and stays pending.
  auto open = Calc(p, "{ 1 { 2 mul }");
  EXPECT_EQ(Eval(*open, {4})[0], 1);
  // Braces touching tokens split them.
  auto tight = Calc(p, "{dup 0 gt{1}{-1}ifelse}");
  EXPECT_EQ(Eval(*tight, {3})[0], 1);
  EXPECT_EQ(Eval(*tight, {-3})[0], -1);
  EXPECT_EQ(calculator::PrepareText("  {abc} x"), "abc");
  EXPECT_EQ(calculator::PrepareText("abc"), "ab");
}

TEST(FunctionCalculator, PendingProcedures) {
  // if takes the first pending procedure; the list is emptied afterwards.
  EXPECT_EQ(Value("{ { 1 } { 2 } true if }"), 1);
  EXPECT_EQ(RunAll("{ { 1 } true if { 2 } false if 3 }", 2), (std::vector<double>{1, 3}));
  // ifelse needs two pending procedures; with fewer, nothing runs.
  EXPECT_EQ(Value("{ 5 { 1 } true ifelse }"), 5);
  // Procedures left pending inside an inserted procedure are taken by a later if.
  EXPECT_EQ(Value("{ true { { 4 } } if true if }"), 4);
  // A condition other than 1 counts as false.
  EXPECT_EQ(Value("{ 5 2 { pop 6 } if }"), 5);
}

TEST(FunctionCalculator, StackPersistsBetweenEvaluations) {
  FunctionPool p;
  auto sum = Calc(p, "{ add dup }");
  EXPECT_EQ(Eval(*sum, {1})[0], 1);
  EXPECT_EQ(Eval(*sum, {2})[0], 3);
  EXPECT_EQ(Eval(*sum, {10})[0], 13);
  auto* t4 = dynamic_cast<TPDFType4Function*>(sum.get());
  ASSERT_NE(t4, nullptr);
  EXPECT_EQ(t4->StackDepth(), 1u);
}

TEST(FunctionCalculator, OperandStackIsBounded) {
  FunctionPool p;
  std::string many = "{";
  for (int i = 0; i < 3000; ++i) many += " 1";
  many += " 2 }";
  auto f = Calc(p, many);
  auto* t4 = dynamic_cast<TPDFType4Function*>(f.get());
  ASSERT_NE(t4, nullptr);
  // The stack is full before the 2: pushes beyond the bound are dropped.
  EXPECT_EQ(Eval(*f, {0})[0], 1);
  EXPECT_EQ(t4->StackDepth(), limits::kMaxCalculatorStack - 1);
  for (int i = 0; i < 5; ++i) Eval(*f, {0});
  EXPECT_LE(t4->StackDepth(), limits::kMaxCalculatorStack);
  auto copies = Calc(p, "{ dup 2000 copy 5000 copy }");
  Eval(*copies, {1});
  EXPECT_LE(dynamic_cast<TPDFType4Function*>(copies.get())->StackDepth(),
            limits::kMaxCalculatorStack);
}

TEST(FunctionCalculator, ArithmeticFaultsThrow) {
  EXPECT_TRUE(RunFails("{ 1 0 div }"));
  EXPECT_TRUE(RunFails("{ 1 -0 div }"));
  EXPECT_TRUE(RunFails("{ 1 0 idiv }"));
  EXPECT_TRUE(RunFails("{ 1 0.4 idiv }"));  // 0.4 is the integer 0
  EXPECT_TRUE(RunFails("{ 1 0 mod }"));
  EXPECT_TRUE(RunFails("{ -1 sqrt }"));
  EXPECT_TRUE(RunFails("{ 0 ln }"));
  EXPECT_TRUE(RunFails("{ 0 log }"));
  EXPECT_TRUE(RunFails("{ -1 ln }"));
  EXPECT_TRUE(RunFails("{ -8 0.5 exp }"));
  EXPECT_TRUE(RunFails("{ 0 -1 exp }"));
  EXPECT_TRUE(RunFails("{ 10 400 exp }"));
  EXPECT_TRUE(RunFails("{ 0 0 atan }"));
  EXPECT_TRUE(RunFails("{ 1e300 1e300 mul }"));
  EXPECT_TRUE(RunFails("{ 1e308 1e308 add }"));
  EXPECT_TRUE(RunFails("{ 1e300 1e-300 div }"));
  // Faults in a branch not taken cost nothing.
  EXPECT_EQ(Value("{ false { 1 0 div } if 3 }"), 3);
  // An evaluation that failed leaves the function usable.
  FunctionPool p;
  auto f = Calc(p, "{ dup 0 eq { pop 1 } if 1 exch div }");
  EXPECT_EQ(Eval(*f, {0})[0], 1);  // 0 is replaced before dividing
  auto g = Calc(p, "{ 1 exch div }");
  EXPECT_TRUE(Fails(*g, {0}));
  EXPECT_EQ(Eval(*g, {4})[0], 0.25);
  EXPECT_TRUE(Fails(*g, {std::nan("")}));
}

TEST(FunctionCalculator, ProgramLimits) {
  FunctionPool p;
  // Nesting up to the bound runs; one level more is refused when evaluated.
  auto nested = [](int depth) {
    std::string text = "{ ";
    for (int i = 0; i < depth; ++i) text += "true { ";
    text += "42 ";
    for (int i = 0; i < depth; ++i) text += "} if ";
    return text + "}";
  };
  auto deep = Calc(p, nested(limits::kMaxCalculatorNesting), 0, 1);
  EXPECT_EQ(Eval(*deep, {})[0], 42);
  auto tooDeep = Calc(p, nested(limits::kMaxCalculatorNesting + 1), 0, 1);
  EXPECT_TRUE(Fails(*tooDeep, {}));
  EXPECT_TRUE(Fails(*tooDeep, {}));
  // A program longer than the instruction bound is refused as a whole.
  std::string text = "{";
  for (std::size_t i = 0; i < limits::kMaxCalculatorOps / 2 + 1; ++i) text += " 1 pop";
  auto tooLong = Calc(p, text + " 5 }", 0, 1);
  EXPECT_TRUE(Fails(*tooLong, {}));
  auto compiled = calculator::Compile(text);
  EXPECT_NE(compiled.Error, nullptr);
}
