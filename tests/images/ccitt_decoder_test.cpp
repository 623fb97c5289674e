#include "engine/images/fax/ccitt_decoder.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>

#include "images/fax_test_encoder.h"

namespace kestrel {
namespace {

using oracle::EncodeFax;
using oracle::MakeFaxBitmap;
using oracle::TFaxBitmap;

struct TFaxCase {
  const char* Name;
  int Compression, T4Options, FaxMode;
  TCCITTParams Params;
};

// libtiff's encodings and the decode parameters a PDF gives for each.
const TFaxCase kCases[] = {
    {"modified Huffman, rows byte-aligned", COMPRESSION_CCITTRLE, 0, 0, {0, true, false}},
    {"T.4 1-D with EOLs", COMPRESSION_CCITTFAX3, 0, 0, {0, false, true}},
    {"T.4 1-D, EOLs byte-aligned", COMPRESSION_CCITTFAX3, GROUP3OPT_FILLBITS, 0, {0, true, true}},
    {"T.4 2-D", COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING, 0, {4, false, true}},
    {"T.4 2-D, EOLs byte-aligned", COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS,
     0, {4, true, true}},
    {"T.6", COMPRESSION_CCITTFAX4, 0, 0, {-1, false, false}},
};

std::vector<std::uint8_t> Decode(const TFaxBitmap& b, const TCCITTParams& params,
                                 const std::string& data, TCCITTResult* result = nullptr) {
  std::vector<std::uint8_t> out(b.Stride() * std::size_t(b.Height), 0xAA);
  const TCCITTResult r = TKesCCITTDecoder(b.Width, b.Height, params).Decode(data, out);
  if (result) *result = r;
  return out;
}

// The first row of `bits` that differs from `expected`, or the height when none does.
int FirstBadRow(const std::vector<std::uint8_t>& bits, const TFaxBitmap& expected, int from = 0) {
  const std::size_t stride = expected.Stride();
  for (int y = from; y < expected.Height; ++y)
    if (!std::equal(bits.begin() + std::ptrdiff_t(y * stride), bits.begin() + std::ptrdiff_t((y + 1) * stride),
                    expected.Bits.begin() + std::ptrdiff_t(y * stride)))
      return y;
  return expected.Height;
}

TEST(CCITTDecoder, DecodesEveryLibtiffEncodingExactly) {
  const TFaxBitmap bitmap = MakeFaxBitmap(2631, 97);
  for (const TFaxCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    const std::string data = EncodeFax(bitmap, c.Compression, c.T4Options, c.FaxMode);
    ASSERT_FALSE(data.empty());
    TCCITTResult result;
    EXPECT_EQ(FirstBadRow(Decode(bitmap, c.Params, data, &result), bitmap), bitmap.Height);
    EXPECT_EQ(result.Rows, bitmap.Height);
    EXPECT_EQ(result.Error, "");
  }
}

TEST(CCITTDecoder, DamagedDataKeepsTheRowsBeforeTheFault) {
  const TFaxBitmap bitmap = MakeFaxBitmap(700, 60);
  for (const TFaxCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    std::string data = EncodeFax(bitmap, c.Compression, c.T4Options, c.FaxMode);
    data[data.size() / 2 + 1] = 0;  // inside a row, away from its EOL
    TCCITTResult result;
    const auto bits = Decode(bitmap, c.Params, data, &result);
    const int bad = FirstBadRow(bits, bitmap);
    EXPECT_GT(bad, 10);
    EXPECT_LT(bad, bitmap.Height);
    EXPECT_FALSE(result.Error.empty());
    // With EOLs, decoding resumes at the next one: only the damaged row is lost.
    if (c.Params.EndOfLine)
      EXPECT_EQ(FirstBadRow(bits, bitmap, bad + 1), bitmap.Height);
  }
}

TEST(CCITTDecoder, Group4EntryReportsTheBytesItUsed) {
  const TFaxBitmap bitmap = MakeFaxBitmap(301, 40);
  const std::string data = EncodeFax(bitmap, COMPRESSION_CCITTFAX4, 0, 0);
  std::vector<std::uint8_t> out(bitmap.Bits.size());
  const TCCITTResult result = DecodeGroup4(data + "trailing", bitmap.Width, bitmap.Height, out);
  EXPECT_EQ(out, bitmap.Bits);
  EXPECT_EQ(result.BytesUsed, data.size());
  // Too small an output buffer is refused, not overrun.
  out.resize(out.size() - 1);
  EXPECT_FALSE(DecodeGroup4(data, bitmap.Width, bitmap.Height, out).Error.empty());
}

TEST(CCITTDecoder, UncompressedModeGivesPixelsOneByOne) {
  // Extension 0000001 111, then "1" black, "01" white and black, "000001" five white, and the
  // exit 0000001 with a white next colour.
  std::vector<std::uint8_t> out(1);
  const TCCITTResult result = DecodeGroup4(std::string("\x03\xE8\x20\x40", 4), 8, 1, out);
  EXPECT_EQ(out[0], 0xA0);
  EXPECT_EQ(result.Rows, 1);
}

}  // namespace
}  // namespace kestrel
