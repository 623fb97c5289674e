// PNG and TIFF predictors.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "engine/syntax/filters.h"

namespace kestrel {
namespace {

using namespace std::string_literals;

TPDFFlateParms Parms(int predictor, int colors, int bpc, int columns) {
  TPDFFlateParms p;
  p.Predictor = predictor;
  p.Colors = colors;
  p.BitsPerComponent = bpc;
  p.Columns = columns;
  return p;
}

TBytes Bytes(std::initializer_list<int> values) {
  TBytes out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

TEST(FiltersPredictorPng, HandComputedRows) {
  // Sub, with wrap-around modulo 256.
  EXPECT_EQ(ApplyPredictor(Bytes({1, 10, 5, 5, 5}), Parms(12, 1, 8, 4)), Bytes({10, 15, 20, 25}));
  EXPECT_EQ(ApplyPredictor(Bytes({1, 200, 100}), Parms(12, 1, 8, 2)), Bytes({200, 44}));
  // Up: the first row has nothing above it.
  EXPECT_EQ(ApplyPredictor(Bytes({2, 1, 2, 3, 2, 1, 1, 1}), Parms(12, 1, 8, 3)),
            Bytes({1, 2, 3, 2, 3, 4}));
  // Average: 5 + 10/2, 6 + (10 + 20)/2 ... left of the first byte is zero.
  EXPECT_EQ(ApplyPredictor(Bytes({0, 10, 20, 30, 3, 5, 6, 7}), Parms(12, 1, 8, 3)),
            Bytes({10, 20, 30, 10, 21, 32}));
  EXPECT_EQ(ApplyPredictor(Bytes({3, 10, 5, 5}), Parms(12, 1, 8, 3)), Bytes({10, 10, 10}));
  // Paeth picks above (10), above (20), above (30) here.
  EXPECT_EQ(ApplyPredictor(Bytes({0, 10, 20, 30, 4, 1, 2, 3}), Parms(12, 1, 8, 3)),
            Bytes({10, 20, 30, 11, 22, 33}));
  // Paeth choosing left: left 110, above 10, upper-left 10 -> p = 110.
  EXPECT_EQ(ApplyPredictor(Bytes({0, 10, 10, 4, 100, 1}), Parms(12, 1, 8, 2)),
            Bytes({10, 10, 110, 111}));
  // Paeth choosing upper-left: left 50, above 60, upper-left 55 -> p = 55.
  EXPECT_EQ(ApplyPredictor(Bytes({0, 55, 60, 4, 251, 1}), Parms(12, 1, 8, 2)),
            Bytes({55, 60, 50, 56}));
  // Unknown type bytes leave the row alone; type 0 is None.
  EXPECT_EQ(ApplyPredictor(Bytes({7, 1, 2, 0, 3, 4}), Parms(12, 1, 8, 2)), Bytes({1, 2, 3, 4}));
}

TEST(FiltersPredictorPng, BytesPerPixelFollowsColorsAndDepth) {
  // Colors 3 x 4 bits: bpp 2, rows of 3 bytes for 2 columns.
  EXPECT_EQ(ApplyPredictor(Bytes({1, 1, 2, 3}), Parms(12, 3, 4, 2)), Bytes({1, 2, 4}));
  // Colors 1 x 1 bit: bpp 1, rows of 2 bytes for 16 columns.
  EXPECT_EQ(ApplyPredictor(Bytes({1, 1, 2}), Parms(12, 1, 1, 16)), Bytes({1, 3}));
  // 16-bit RGB: bpp 6.
  EXPECT_EQ(ApplyPredictor(Bytes({1, 1, 2, 3, 4, 5, 6, 1, 1, 1, 1, 1, 1}), Parms(12, 3, 16, 2)),
            Bytes({1, 2, 3, 4, 5, 6, 2, 3, 4, 5, 6, 7}));
}

TEST(FiltersPredictorPng, TrailingPartialRowIsDropped) {
  EXPECT_EQ(ApplyPredictor(Bytes({0, 1, 2, 0, 3, 4, 1, 9}), Parms(12, 1, 8, 2)),
            Bytes({1, 2, 3, 4}));
  EXPECT_EQ(ApplyPredictor(Bytes({0, 1}), Parms(12, 1, 8, 2)), "");
}

// Forward PNG filtering, written straight from the PNG definition, to round-trip through
// the decoder.
TBytes PngEncode(const TBytes& raw, std::size_t rowSize, std::size_t bpp, int type) {
  TBytes out;
  const auto at = [&](std::size_t row, std::size_t i) -> int {
    return static_cast<unsigned char>(raw[row * rowSize + i]);
  };
  for (std::size_t r = 0; r * rowSize < raw.size(); ++r) {
    out.push_back(static_cast<char>(type));
    for (std::size_t i = 0; i < rowSize; ++i) {
      const int a = i >= bpp ? at(r, i - bpp) : 0;
      const int b = r > 0 ? at(r - 1, i) : 0;
      const int c = (r > 0 && i >= bpp) ? at(r - 1, i - bpp) : 0;
      int pred = 0;
      switch (type) {
        case 1: pred = a; break;
        case 2: pred = b; break;
        case 3: pred = (a + b) / 2; break;
        case 4: {
          const int p = a + b - c;
          const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
          pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
          break;
        }
        default: break;
      }
      out.push_back(static_cast<char>((at(r, i) - pred) & 0xff));
    }
  }
  return out;
}

TEST(FiltersPredictorPng, RoundTripsEveryFilterType) {
  std::mt19937 rng(3);
  struct Shape { int colors, bpc, columns; std::size_t rowSize, bpp; };
  for (const Shape& s : {Shape{3, 8, 17, 51, 3}, Shape{2, 16, 9, 36, 4}, Shape{1, 8, 1, 1, 1},
                         Shape{4, 8, 33, 132, 4}}) {
    TBytes raw(s.rowSize * 11, '\0');
    // Smooth data so the predictors do real work, with some noise.
    for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<char>(i / 3 + rng() % 7);
    for (int type = 0; type <= 4; ++type) {
      const TBytes encoded = PngEncode(raw, s.rowSize, s.bpp, type);
      EXPECT_EQ(ApplyPredictor(encoded, Parms(10 + type, s.colors, s.bpc, s.columns)), raw)
          << "type " << type << " colors " << s.colors << " bpc " << s.bpc;
    }
  }
}

TEST(FiltersPredictorTiff, EightBitAddsSameComponentOfPixelToTheLeft) {
  EXPECT_EQ(ApplyPredictor(Bytes({10, 20, 30, 1, 2, 3}), Parms(2, 3, 8, 2)),
            Bytes({10, 20, 30, 11, 22, 33}));
  // Two rows are independent; the partial third row is dropped.
  EXPECT_EQ(ApplyPredictor(Bytes({5, 1, 1, 7, 1, 1, 9}), Parms(2, 1, 8, 3)),
            Bytes({5, 6, 7, 7, 8, 9}));
}

TEST(FiltersPredictorTiff, SixteenBitSamplesCarryIntoHighByte) {
  EXPECT_EQ(ApplyPredictor(Bytes({0x00, 0xff, 0x00, 0x01}), Parms(2, 1, 16, 2)),
            Bytes({0x00, 0xff, 0x01, 0x00}));
  EXPECT_EQ(ApplyPredictor(Bytes({0xff, 0xff, 0x00, 0x02}), Parms(2, 1, 16, 2)),
            Bytes({0xff, 0xff, 0x00, 0x01}));
}

TEST(FiltersPredictorTiff, PackedSamplesAddWithinTheirBits) {
  // 4-bit gray 3,1,1,1 -> 3,4,5,6.
  EXPECT_EQ(ApplyPredictor(Bytes({0x31, 0x11}), Parms(2, 1, 4, 4)), Bytes({0x34, 0x56}));
  // 1-bit: a single 1 followed by zero differences stays 1 all along the row.
  EXPECT_EQ(ApplyPredictor(Bytes({0x80}), Parms(2, 1, 1, 8)), Bytes({0xff}));
  // 2-bit, two colours: samples 1,2,1,1 -> 1,2,2,3; padding bits of the row stay as they are.
  EXPECT_EQ(ApplyPredictor(Bytes({0x65}), Parms(2, 2, 2, 2)), Bytes({0x6b}));
  EXPECT_EQ(ApplyPredictor(Bytes({0x41, 0x05}), Parms(2, 1, 2, 5)), Bytes({0x56, 0x85}));
}

TEST(FiltersPredictor, AbsurdParametersNeverCrash) {
  const TBytes data = Bytes({1, 2, 3, 4, 5, 6, 7});
  // No predictor, or parameters that describe no image: data unchanged.
  EXPECT_EQ(ApplyPredictor(data, Parms(1, 1, 8, 1)), data);
  EXPECT_EQ(ApplyPredictor(data, Parms(-5, 1, 8, 1)), data);
  EXPECT_EQ(ApplyPredictor(data, Parms(12, 0, 8, 1)), data);
  EXPECT_EQ(ApplyPredictor(data, Parms(12, 1, -8, 1)), data);
  EXPECT_EQ(ApplyPredictor(data, Parms(2, 1, 8, 0)), data);
  EXPECT_EQ(ApplyPredictor(data, Parms(12, INT_MAX, INT_MAX, INT_MAX)), data);
  EXPECT_EQ(ApplyPredictor(data, Parms(2, INT_MAX, INT_MAX, INT_MAX)), data);
  // Valid but larger than the data: no whole row.
  EXPECT_EQ(ApplyPredictor(data, Parms(12, 1, 8, INT_MAX)), "");
  EXPECT_EQ(ApplyPredictor(data, Parms(2, INT_MAX, 8, 1)), "");
  EXPECT_EQ(ApplyPredictor(data, Parms(15, 1, 32, 1)), Bytes({2, 3, 4, 5}));
  // Odd depths still work byte-wise or sample-wise without reading past a row.
  EXPECT_EQ(ApplyPredictor(data, Parms(2, 1, 12, 4)).size(), 6u);
  EXPECT_EQ(ApplyPredictor(data, Parms(2, 1, 24, 2)), Bytes({1, 2, 3, 5, 7, 9}));
  EXPECT_EQ(ApplyPredictor("", Parms(12, 1, 8, 1)), "");
  EXPECT_EQ(ApplyPredictor("", Parms(2, 1, 8, 1)), "");
}

TEST(FiltersPredictor, OtherPredictorsBelowTenOnlyCutToWholeRows) {
  EXPECT_EQ(ApplyPredictor(Bytes({1, 2, 3, 4, 5}), Parms(5, 1, 8, 2)), Bytes({1, 2, 3, 4}));
}

}  // namespace
}  // namespace kestrel
