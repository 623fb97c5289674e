// Sampled, exponential and stitching functions, and the factory.
#include <cmath>
#include <limits>
#include <string>

#include "engine/render/function/function_type0.h"
#include "engine/render/function/function_type3.h"
#include "function_test_support.h"

using namespace functiontest;

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

}  // namespace

TEST(FunctionFactory, PicksTheClassByFunctionType) {
  FunctionPool p;
  EXPECT_EQ(p.Make("<< /Domain [0 1] /C0 [0] /C1 [1] >>"), nullptr);
  EXPECT_EQ(p.Make("<< /FunctionType 1 /Domain [0 1] >>"), nullptr);
  EXPECT_EQ(p.Make("<< /FunctionType 5 /Domain [0 1] >>"), nullptr);
  EXPECT_EQ(p.Make("<< /FunctionType 2.5 /Domain [0 1] >>"), nullptr);
  EXPECT_EQ(p.Make("<< /FunctionType /Two /Domain [0 1] >>"), nullptr);
  EXPECT_EQ(CreateFunction(p.Object("[ 1 2 ]")), nullptr);
  EXPECT_EQ(CreateFunction(nullptr), nullptr);
  // A reference to nothing gives no function; one to a function gives it.
  EXPECT_EQ(CreateFunction(p.Object("9 0 R")), nullptr);
  p.Define(9, p.Object("<< /FunctionType 2 /Domain [0 1] /N 2 >>"));
  auto f = CreateFunction(p.Object("9 0 R"));
  ASSERT_NE(f, nullptr);
  EXPECT_DOUBLE_EQ(Eval(*f, {0.5})[0], 0.25);
}

TEST(FunctionFactory, ResolvesReferencesInsideEntries) {
  FunctionPool p;
  p.Define(1, p.Object("2"));
  p.Define(2, p.Object("[0 9 0 9]"));
  p.Define(3, p.Object("3"));
  auto f = p.Make("<< /FunctionType 1 0 R /Domain [0 1] /Range 2 0 R /C0 [1 0 R 3 0 R] >>");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->InputCount(), 1);
  EXPECT_EQ(f->OutputCount(), 2);
  // C0 reads [2 3], C1 defaults to [1] and its missing second element to 1.
  EXPECT_EQ(Eval(*f, {1}), (std::vector<double>{1, 1}));
  EXPECT_EQ(Eval(*f, {0}), (std::vector<double>{2, 3}));
}

TEST(FunctionFactory, NonNumbersInArraysReadAsZero) {
  FunctionPool p;
  auto f = p.Make("<< /FunctionType 2 /Domain [0 1] /C0 [/X 5] /C1 [(a) 7] >>");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Eval(*f, {1}), (std::vector<double>{0, 7}));
}

TEST(FunctionFactory, RefusesTooManyInputsOrOutputs) {
  FunctionPool p;
  std::string range33 = "[";
  for (int i = 0; i < 33; ++i) range33 += " 0 1";
  range33 += " ]";
  EXPECT_EQ(p.Make("<< /FunctionType 2 /Domain [0 1] /Range " + range33 + " >>"), nullptr);
  EXPECT_EQ(p.MakeStream("<< /FunctionType 4 /Domain [0 1] /Range " + range33 + " >>", "{ }"),
            nullptr);
  EXPECT_EQ(p.MakeStream("<< /FunctionType 0 /Domain " + range33 +
                             " /Range [0 1] /Size [2] /BitsPerSample 8 >>",
                         ""),
            nullptr);
}

// --- Sampled functions ---

TEST(FunctionSampled, InterpolatesBetweenSamples) {
  FunctionPool p;
  auto f = p.MakeStream("<< /FunctionType 0 /Domain [0 1] /Range [0 1] /Size [2] "
                        "/BitsPerSample 8 >>",
                        Bytes({0x00, 0xFF}));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Eval(*f, {0}), (std::vector<double>{0}));
  EXPECT_EQ(Eval(*f, {1}), (std::vector<double>{1}));
  EXPECT_DOUBLE_EQ(Eval(*f, {0.6})[0], 0.6);
  EXPECT_DOUBLE_EQ(Eval(*f, {0.4})[0], 0.4);
  EXPECT_DOUBLE_EQ(Eval(*f, {0.5})[0], 0.5);
  // Inputs are clamped to Domain.
  EXPECT_EQ(Eval(*f, {-3}), (std::vector<double>{0}));
  EXPECT_EQ(Eval(*f, {42}), (std::vector<double>{1}));
}

TEST(FunctionSampled, OneInputThreeOutputs) {
  FunctionPool p;
  auto f = p.MakeStream("<< /FunctionType 0 /Domain [0 1] /Range [0 1 0 1 0 1] /Size [3] "
                        "/BitsPerSample 8 >>",
                        Bytes({255, 0, 0, 0, 255, 0, 0, 51, 255}));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->OutputCount(), 3);
  EXPECT_EQ(Eval(*f, {0}), (std::vector<double>{1, 0, 0}));
  // Between samples the outputs are interpolated linearly.
  auto mid = Eval(*f, {0.2});
  EXPECT_DOUBLE_EQ(mid[0], 0.6);
  EXPECT_DOUBLE_EQ(mid[1], 0.4);
  EXPECT_EQ(mid[2], 0);
  EXPECT_EQ(Eval(*f, {0.5}), (std::vector<double>{0, 1, 0}));
  auto last = Eval(*f, {1});
  EXPECT_DOUBLE_EQ(last[1], 0.2);
  EXPECT_EQ(last[2], 1);
}

TEST(FunctionSampled, TwoInputsFirstVariesFastest) {
  FunctionPool p;
  auto f = p.MakeStream("<< /FunctionType 0 /Domain [0 1 0 10] /Range [0 255] /Size [2 3] "
                        "/BitsPerSample 8 /Decode [0 255] >>",
                        Bytes({10, 20, 30, 40, 50, 60}));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->InputCount(), 2);
  EXPECT_EQ(Eval(*f, {0, 0}), (std::vector<double>{10}));
  EXPECT_EQ(Eval(*f, {1, 0}), (std::vector<double>{20}));
  EXPECT_EQ(Eval(*f, {0, 5}), (std::vector<double>{30}));
  EXPECT_EQ(Eval(*f, {1, 5}), (std::vector<double>{40}));
  EXPECT_EQ(Eval(*f, {0, 10}), (std::vector<double>{50}));
  // (0.9, 8): e = (0.9, 1.6) between the four samples 30, 40, 50, 60.
  EXPECT_DOUBLE_EQ(Eval(*f, {0.9, 8})[0], 0.4 * (0.1 * 30 + 0.9 * 40) + 0.6 * (0.1 * 50 + 0.9 * 60));
  // A missing second input reads as 0.
  EXPECT_EQ(Eval(*f, {1}), (std::vector<double>{20}));
}

TEST(FunctionSampled, EncodeAndDecodeMapBothWays) {
  FunctionPool p;
  // Encode [3 0] reads the table backwards; Decode [1 0] inverts the samples.
  auto f = p.MakeStream("<< /FunctionType 0 /Domain [0 1] /Range [0 1] /Size [4] "
                        "/BitsPerSample 8 /Encode [3 0] /Decode [1 0] >>",
                        Bytes({0, 85, 170, 255}));
  ASSERT_NE(f, nullptr);
  EXPECT_DOUBLE_EQ(Eval(*f, {0})[0], 0);          // sample 3 = 255, inverted
  EXPECT_DOUBLE_EQ(Eval(*f, {1})[0], 1);          // sample 0 = 0, inverted
  EXPECT_DOUBLE_EQ(Eval(*f, {0.4})[0], 0.4);  // e = 1.8: between 170 and 85, inverted
  // Decode beyond Range is clamped to Range.
  auto g = p.MakeStream("<< /FunctionType 0 /Domain [0 1] /Range [0 1] /Size [2] "
                        "/BitsPerSample 8 /Decode [-1 2] >>",
                        Bytes({0, 255}));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(Eval(*g, {0})[0], 0);
  EXPECT_EQ(Eval(*g, {1})[0], 1);
}

TEST(FunctionSampled, EveryBitsPerSampleReadsMostSignificantFirst) {
  FunctionPool p;
  auto table = [&](int bits, int size, const std::string& data) {
    return p.MakeStream("<< /FunctionType 0 /Domain [0 " + std::to_string(size - 1) +
                            "] /Range [0 4294967295] /Size [" + std::to_string(size) +
                            "] /BitsPerSample " + std::to_string(bits) +
                            " /Decode [0 " + std::to_string((1ull << bits) - 1) + "] >>",
                        data);
  };
  auto samples = [](TPDFFunction& f, int count) {
    std::vector<double> all;
    // Decode equal to the sample range gives the sample back, up to rounding for 32 bits.
    for (int i = 0; i < count; ++i)
      all.push_back(std::round(Eval(f, {static_cast<double>(i)})[0]));
    return all;
  };
  auto b1 = table(1, 8, Bytes({0xB2}));
  EXPECT_EQ(samples(*b1, 8), (std::vector<double>{1, 0, 1, 1, 0, 0, 1, 0}));
  auto b2 = table(2, 4, Bytes({0x1B}));
  EXPECT_EQ(samples(*b2, 4), (std::vector<double>{0, 1, 2, 3}));
  auto b4 = table(4, 3, Bytes({0xA5, 0xF0}));
  EXPECT_EQ(samples(*b4, 3), (std::vector<double>{10, 5, 15}));
  auto b12 = table(12, 3, Bytes({0xAB, 0xC1, 0x23, 0xFF, 0xF0}));
  EXPECT_EQ(samples(*b12, 3), (std::vector<double>{0xABC, 0x123, 0xFFF}));
  auto b16 = table(16, 2, Bytes({0x12, 0x34, 0xFF, 0xFE}));
  EXPECT_EQ(samples(*b16, 2), (std::vector<double>{0x1234, 0xFFFE}));
  auto b24 = table(24, 2, Bytes({0x01, 0x02, 0x03, 0xFF, 0x00, 0x01}));
  EXPECT_EQ(samples(*b24, 2), (std::vector<double>{0x010203, 0xFF0001}));
  auto b32 = table(32, 2, Bytes({0x80, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(samples(*b32, 2), (std::vector<double>{2147483649.0, 4294967295.0}));
  // Bytes beyond the end of the data read as 0.
  auto shortData = table(16, 2, Bytes({0x12}));
  EXPECT_EQ(samples(*shortData, 2), (std::vector<double>{0x1200, 0}));
}

TEST(FunctionSampled, DefaultsAndEntriesRead) {
  FunctionPool p;
  auto f = p.MakeStream("<< /FunctionType 0 /Domain [0 1] /Range [0 1 0 1] /Size [5] "
                        "/BitsPerSample 4 /Order 3 >>",
                        "");
  ASSERT_NE(f, nullptr);
  auto* t0 = dynamic_cast<TPDFType0Function*>(f.get());
  ASSERT_NE(t0, nullptr);
  EXPECT_EQ(t0->Order, 3);
  EXPECT_EQ(t0->Encode, (TPDFDoubleArray{0, 4}));
  EXPECT_EQ(t0->Decode, (TPDFDoubleArray{0, 1, 0, 1}));
  // No data at all: every sample is 0.
  EXPECT_EQ(Eval(*f, {0.7}), (std::vector<double>{0, 0}));
}

TEST(FunctionSampled, RefusesBadBitsPerSampleAndSize) {
  FunctionPool p;
  auto make = [&](const std::string& entries) {
    return p.MakeStream("<< /FunctionType 0 /Domain [0 1 0 1] /Range [0 1 0 1] " + entries +
                            " >>",
                        "abcdef");
  };
  EXPECT_NE(make("/Size [2 2] /BitsPerSample 8"), nullptr);
  for (int bits : {0, 3, 5, 7, 9, 64, -8})
    EXPECT_EQ(make("/Size [2 2] /BitsPerSample " + std::to_string(bits)), nullptr) << bits;
  EXPECT_EQ(make("/BitsPerSample 8"), nullptr);                 // no Size
  EXPECT_EQ(make("/Size [2] /BitsPerSample 8"), nullptr);       // Size shorter than Domain
  EXPECT_EQ(make("/Size [2 0] /BitsPerSample 8"), nullptr);     // an empty dimension
  EXPECT_EQ(make("/Size [2 -4] /BitsPerSample 8"), nullptr);
  // Tables whose declared size is absurd are refused before any arithmetic can overflow.
  EXPECT_EQ(make("/Size [4000000000 4000000000] /BitsPerSample 32"), nullptr);
  EXPECT_EQ(make("/Size [65536 65536] /BitsPerSample 32"), nullptr);
  // A large but plausible table is accepted even when its data is short.
  auto big = make("/Size [1024 1024] /BitsPerSample 16");
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(Eval(*big, {1, 1}), (std::vector<double>{0, 0}));
}

TEST(FunctionSampled, ArithmeticFaultsThrow) {
  FunctionPool p;
  // A zero-width Domain makes the encoding divide by zero.
  auto flat = p.MakeStream("<< /FunctionType 0 /Domain [0.5 0.5] /Range [0 1] /Size [2] "
                           "/BitsPerSample 8 >>",
                           Bytes({0, 255}));
  ASSERT_NE(flat, nullptr);
  EXPECT_TRUE(Fails(*flat, {0.5}));
  // Decode so wide that the interpolation overflows: an error, never infinity.
  auto wide = p.MakeStream("<< /FunctionType 0 /Domain [0 1] /Range [-1 1] /Size [2] "
                           "/BitsPerSample 8 >>",
                           Bytes({0, 255}));
  ASSERT_NE(wide, nullptr);
  auto* t0 = dynamic_cast<TPDFType0Function*>(wide.get());
  t0->Decode = {-1.7e308, 1.7e308};
  EXPECT_TRUE(Fails(*wide, {0}));
  // NaN inputs are refused rather than clamped into an arbitrary sample.
  EXPECT_TRUE(Fails(*wide, {std::numeric_limits<double>::quiet_NaN()}));
  // The function still works afterwards.
  t0->Decode = {-1, 1};
  EXPECT_EQ(Eval(*wide, {1}), (std::vector<double>{1}));
}

// --- Exponential functions ---

TEST(FunctionExponential, LinearWithThreeOutputs) {
  FunctionPool p;
  auto f = p.Make("<< /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >>");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->OutputCount(), 3);  // from C0, as there is no Range
  EXPECT_EQ(Eval(*f, {0.5}), (std::vector<double>{0.5, 0, 0.5}));
  EXPECT_EQ(Eval(*f, {0}), (std::vector<double>{1, 0, 0}));
}

TEST(FunctionExponential, InputClampedToDomainOutputToRange) {
  FunctionPool p;
  auto f = p.Make("<< /FunctionType 2 /Domain [0 1] /Range [0 1] /C0 [0] /C1 [1] /N 2 >>");
  ASSERT_NE(f, nullptr);
  EXPECT_DOUBLE_EQ(Eval(*f, {0.5})[0], 0.25);
  EXPECT_DOUBLE_EQ(Eval(*f, {3})[0], 1);
  EXPECT_DOUBLE_EQ(Eval(*f, {-2})[0], 0);
  auto wide = p.Make("<< /FunctionType 2 /Domain [-5 5] /C0 [0] /C1 [1] /N 2 >>");
  ASSERT_NE(wide, nullptr);
  EXPECT_DOUBLE_EQ(Eval(*wide, {3})[0], 9);
  EXPECT_DOUBLE_EQ(Eval(*wide, {-2})[0], 4);  // integral exponent: negative bases are fine
  auto defaults = p.Make("<< /FunctionType 2 /Domain [0 1] >>");
  ASSERT_NE(defaults, nullptr);
  EXPECT_EQ(defaults->OutputCount(), 1);
  EXPECT_DOUBLE_EQ(Eval(*defaults, {0.3})[0], 0.3);
  // Range sets the output count; coefficients missing from C0/C1 read as 0 and 1.
  auto ranged = p.Make("<< /FunctionType 2 /Domain [0 1] /Range [0 1 0 1] /C0 [0.5] /C1 [1] "
                       "/N 3 >>");
  ASSERT_NE(ranged, nullptr);
  EXPECT_EQ(Eval(*ranged, {0.5}), (std::vector<double>{0.5625, 0.125}));
}

TEST(FunctionExponential, PowerRules) {
  FunctionPool p;
  auto root = p.Make("<< /FunctionType 2 /Domain [-1 1] /C0 [0] /C1 [1] /N 0.5 >>");
  ASSERT_NE(root, nullptr);
  EXPECT_DOUBLE_EQ(Eval(*root, {0.25})[0], 0.5);
  EXPECT_EQ(Eval(*root, {0})[0], 0);  // 0^N = 0 for N > 0
  EXPECT_TRUE(Fails(*root, {-0.25}));  // negative base inside the domain, fractional exponent
  auto tint = p.Make("<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] /N 0.5 >>");
  ASSERT_NE(tint, nullptr);
  EXPECT_EQ(Eval(*tint, {-1e-9})[0], 0);  // a tint a hair below 0 is clamped, not an error
  auto zeroth = p.Make("<< /FunctionType 2 /Domain [-10 10] /C0 [2] /C1 [5] /N 0 >>");
  ASSERT_NE(zeroth, nullptr);
  EXPECT_EQ(Eval(*zeroth, {0})[0], 5);  // 0^0 = 1
  EXPECT_EQ(Eval(*zeroth, {-7})[0], 5);
  auto inverse = p.Make("<< /FunctionType 2 /Domain [0 10] /C0 [0] /C1 [1] /N -1 >>");
  ASSERT_NE(inverse, nullptr);
  EXPECT_DOUBLE_EQ(Eval(*inverse, {4})[0], 0.25);
  EXPECT_TRUE(Fails(*inverse, {0}));  // division by zero
  auto cube = p.Make("<< /FunctionType 2 /Domain [-1000000000 1000000000] /C0 [0] /C1 [1] /N 3 >>");
  ASSERT_NE(cube, nullptr);
  EXPECT_DOUBLE_EQ(Eval(*cube, {-2})[0], -8);
  auto huge = p.Make("<< /FunctionType 2 /Domain [0 1000000000] /C0 [0] /C1 [1] /N 400 >>");
  ASSERT_NE(huge, nullptr);
  EXPECT_TRUE(Fails(*huge, {1e9}));  // overflow is an error, not infinity
  EXPECT_TRUE(Fails(*cube, {std::numeric_limits<double>::infinity()}));
}

// --- Stitching functions ---

namespace {

// Two sub-functions: 10 + x and 20 + x.
std::unique_ptr<TPDFFunction> TwoPieces(FunctionPool& p, const std::string& extra) {
  return p.Make("<< /FunctionType 3 /Domain [0 1] /Bounds [0.5] " + extra +
                " /Functions [ << /FunctionType 2 /Domain [0 1] /C0 [10] /C1 [11] >>"
                " << /FunctionType 2 /Domain [0 1] /C0 [20] /C1 [21] >> ] >>");
}

}  // namespace

TEST(FunctionStitching, SubdomainsIncludeTheirLowerBound) {
  FunctionPool p;
  auto f = TwoPieces(p, "/Encode [0 1 0 1]");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->OutputCount(), 1);
  EXPECT_DOUBLE_EQ(Eval(*f, {1.0})[0], 21);    // the last subdomain holds its upper limit
  EXPECT_DOUBLE_EQ(Eval(*f, {0.5})[0], 20);
  EXPECT_NEAR(Eval(*f, {0.49})[0], 10.98, 1e-12);
  EXPECT_DOUBLE_EQ(Eval(*f, {0.25})[0], 10.5);
  EXPECT_DOUBLE_EQ(Eval(*f, {-4})[0], 10);     // clamped to Domain
  EXPECT_DOUBLE_EQ(Eval(*f, {9})[0], 21);
}

TEST(FunctionStitching, EncodeReversesAndMissingPairsDefault) {
  FunctionPool p;
  auto reversed = TwoPieces(p, "/Encode [1 0 1 0]");
  ASSERT_NE(reversed, nullptr);
  EXPECT_DOUBLE_EQ(Eval(*reversed, {0})[0], 11);
  EXPECT_DOUBLE_EQ(Eval(*reversed, {0.125})[0], 10.75);
  EXPECT_DOUBLE_EQ(Eval(*reversed, {0.75})[0], 20.5);
  EXPECT_DOUBLE_EQ(Eval(*reversed, {1})[0], 20);
  // No Encode: [0 1] for every sub-function.
  auto plain = TwoPieces(p, "");
  ASSERT_NE(plain, nullptr);
  EXPECT_DOUBLE_EQ(Eval(*plain, {0.75})[0], 20.5);
}

TEST(FunctionStitching, EmptyEntriesAndOutputCount) {
  FunctionPool p;
  // The first entry is no function: its subdomain gives zeros of the Range's count.
  auto f = p.Make("<< /FunctionType 3 /Domain [0 1] /Range [0 1 0 1] /Bounds [0.5] "
                  "/Functions [ << /FunctionType 7 >> << /FunctionType 2 /Domain [0 1] "
                  "/C0 [0 0 0] /C1 [1 1 1] >> ] >>");
  ASSERT_NE(f, nullptr);
  auto* t3 = dynamic_cast<TPDFType3Function*>(f.get());
  ASSERT_NE(t3, nullptr);
  ASSERT_EQ(t3->Functions.size(), 2u);
  EXPECT_EQ(t3->Functions[0], nullptr);
  EXPECT_EQ(Eval(*f, {0.2}), (std::vector<double>{0, 0}));
  // The sub-function's three outputs are cut to the Range's two.
  EXPECT_EQ(Eval(*f, {1}), (std::vector<double>{1, 1}));
  // Without Range the first sub-function decides the count.
  auto g = p.Make("<< /FunctionType 3 /Domain [0 1] /Functions [ << /FunctionType 2 "
                  "/Domain [0 1] /C0 [0 0 0] >> ] >>");
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->OutputCount(), 3);
  auto none = p.Make("<< /FunctionType 3 /Domain [0 1] /Range [0 1] /Functions [] >>");
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(Eval(*none, {0.5}), (std::vector<double>{0}));
}

TEST(FunctionStitching, ZeroWidthSubdomainThrows) {
  FunctionPool p;
  auto f = p.Make("<< /FunctionType 3 /Domain [0 1] /Bounds [1] /Functions [ "
                  "<< /FunctionType 2 /Domain [0 1] >> << /FunctionType 2 /Domain [0 1] >> ] >>");
  ASSERT_NE(f, nullptr);
  EXPECT_DOUBLE_EQ(Eval(*f, {0.5})[0], 0.5);
  EXPECT_TRUE(Fails(*f, {1}));
  auto point = p.Make("<< /FunctionType 3 /Domain [0.5 0.5] /Functions [ "
                      "<< /FunctionType 2 /Domain [0 1] >> ] >>");
  ASSERT_NE(point, nullptr);
  EXPECT_TRUE(Fails(*point, {0.5}));
}

TEST(FunctionStitching, SelfReferenceLeavesTheEntryEmpty) {
  FunctionPool p;
  p.Define(2, p.Object("<< /FunctionType 2 /Domain [0 1] /C0 [5] /C1 [6] >>"));
  p.Define(1, p.Object("<< /FunctionType 3 /Domain [0 1] /Bounds [0.5] "
                       "/Functions [1 0 R 2 0 R] >>"));
  auto f = CreateFunction(p.Object("1 0 R"));
  ASSERT_NE(f, nullptr);
  auto* t3 = dynamic_cast<TPDFType3Function*>(f.get());
  ASSERT_NE(t3, nullptr);
  EXPECT_EQ(t3->Functions[0], nullptr);
  ASSERT_NE(t3->Functions[1], nullptr);
  EXPECT_EQ(f->OutputCount(), 1);
  EXPECT_EQ(Eval(*f, {0.1}), (std::vector<double>{0}));
  EXPECT_DOUBLE_EQ(Eval(*f, {1})[0], 6);
}

TEST(FunctionStitching, TreeDepthIsLimitedToEightLevels) {
  // Object i stitches over object i + 1; the last one is exponential.
  auto chain = [](FunctionPool& p, int stitching) {
    for (int i = 1; i <= stitching; ++i)
      p.Define(i, p.Object("<< /FunctionType 3 /Domain [0 1] /Range [0 100] /Functions [" +
                           std::to_string(i + 1) + " 0 R] >>"));
    p.Define(stitching + 1, p.Object("<< /FunctionType 2 /Domain [0 1] /C0 [7] /C1 [7] >>"));
    return CreateFunction(p.Object("1 0 R"));
  };
  FunctionPool seven;
  auto ok = chain(seven, 7);  // eight levels in all
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(Eval(*ok, {0.3}), (std::vector<double>{7}));
  FunctionPool eight;
  auto cut = chain(eight, 8);  // the leaf would be the ninth level
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(Eval(*cut, {0.3}), (std::vector<double>{0}));
}

TEST(FunctionStitching, SharedReferencesCannotExplode) {
  // Every level lists the next one 64 times: 64^6 leaves without a bound on the tree's size.
  FunctionPool p;
  for (int level = 1; level <= 7; ++level) {
    std::string list;
    for (int i = 0; i < 64; ++i) list += std::to_string(level + 1) + " 0 R ";
    p.Define(level, p.Object("<< /FunctionType 3 /Domain [0 1] /Range [0 1] /Functions [" +
                             list + "] >>"));
  }
  p.Define(8, p.Object("<< /FunctionType 2 /Domain [0 1] /C0 [1] /C1 [1] >>"));
  auto f = CreateFunction(p.Object("1 0 R"));
  ASSERT_NE(f, nullptr);
  // Without Bounds every input below 1 falls in the first subdomain, whose branch is built
  // down to the leaf before the budget runs out.
  for (double x : {0.0, 0.3, 0.77}) EXPECT_EQ(Eval(*f, {x}), (std::vector<double>{1})) << x;
}

TEST(FunctionStitching, DecodesStreamSubFunctions) {
  FunctionPool p;
  p.Define(4, p.Stream("<< /FunctionType 0 /Domain [0 1] /Range [0 1] /Size [2] "
                       "/BitsPerSample 8 /Filter /ASCIIHexDecode >>",
                       "00 FF>"));
  p.Define(5, p.Stream("<< /FunctionType 4 /Domain [0 1] /Range [0 10] >>", "{ 10 mul }"));
  auto f = p.Make("<< /FunctionType 3 /Domain [0 2] /Bounds [1] /Encode [0 1 0 1] "
                  "/Functions [4 0 R 5 0 R] >>");
  ASSERT_NE(f, nullptr);
  EXPECT_DOUBLE_EQ(Eval(*f, {0.8})[0], 0.8);
  EXPECT_DOUBLE_EQ(Eval(*f, {1.5})[0], 5);
}
