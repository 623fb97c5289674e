// The stream reader against whole decoding: the same bytes, charged to the budget the same,
// for every chain it reads.
#include <gtest/gtest.h>

#include <string>

#include "engine/syntax/decode_budget.h"
#include "engine/syntax/filters.h"
#include "engine/syntax/stream_reader.h"
#include "engine/syntax/structure.h"

namespace kestrel {
namespace {

// LZW codes of literals only, 9 bits each, with a clear code before the table would widen.
TBytes LiteralLZW(const TBytes& data) {
  TBytes out;
  unsigned buffer = 0, count = 0;
  auto put = [&](unsigned code) {
    buffer = (buffer << 9) | code;
    for (count += 9; count >= 8; count -= 8) out.push_back(static_cast<char>(buffer >> (count - 8)));
  };
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i % 200 == 0) put(256);
    put(static_cast<unsigned char>(data[i]));
  }
  put(257);
  if (count > 0) out.push_back(static_cast<char>(buffer << (8 - count)));
  return out;
}

TBytes Hex(const TBytes& data) {
  static const char* digits = "0123456789ABCDEF";
  TBytes out;
  for (unsigned char c : data) out += {digits[c >> 4], digits[c & 15]};
  return out + ">";
}

TEST(StreamReader, GivesWhatDecodeGives) {
  TBytes rows;  // 60 rows of 25 bytes; every fifth row starts with a PNG filter type 0 to 4
  for (int i = 0; i < 60 * 25; ++i)
    rows.push_back(static_cast<char>(i % 25 == 0 ? (i / 25) % 5 : (i * 37 + i / 25 * 11) % 251));
  const TBytes packed = DeflateBytes(rows);
  const struct {
    const char* Entries;
    TBytes Data;
    std::size_t Budget;
  } cases[] = {
      {"", rows, 1 << 20},
      {"/Filter /FlateDecode", packed, 1 << 20},
      {"/Filter /Fl /DecodeParms << /Predictor 12 /Colors 3 /Columns 8 >>", packed, 1 << 20},
      {"/Filter /FlateDecode /DecodeParms << /Predictor 2 /BitsPerComponent 4 /Columns 50 >>",
       packed, 1 << 20},
      {"/Filter /FlateDecode /DecodeParms << /Predictor 2 /Colors 3 /Columns 8 >>", packed, 1 << 20},
      {"/Filter /FlateDecode /DecodeParms << /Predictor 5 /Columns 7 >>", packed, 1 << 20},
      // Cut short, and cut by the budget.
      {"/Filter /FlateDecode", packed.substr(0, packed.size() / 2), 1 << 20},
      {"/Filter /FlateDecode /DecodeParms << /Predictor 15 /Columns 24 >>", packed, 1000},
      {"/Filter [/ASCIIHexDecode /FlateDecode] /DecodeParms [null << /Predictor 10 /Columns 24 >>]",
       Hex(packed), 1 << 20},
      {"/Filter /LZWDecode", LiteralLZW(rows), 1 << 20},
      {"/Filter /LZW /DecodeParms << /EarlyChange 0 /Predictor 11 /Columns 24 >>", LiteralLZW(rows),
       1 << 20},
      {"/Filter /LZWDecode /DecodeParms << /Predictor 3 /Columns 7 >>", LiteralLZW(rows), 1 << 20},
      {"/Filter [/FlateDecode /LZWDecode]", DeflateBytes(LiteralLZW(rows)), 700},
      {"/Filter /FlateDecode", packed, 0},
  };
  for (const auto& c : cases) {
    TPDFStructure pool;
    auto* dict = As<TPDFDictionary>(pool.ParseObject("<< " + std::string(c.Entries) + " >>"));
    ASSERT_NE(dict, nullptr) << c.Entries;
    const TPDFStream& stream = *pool.NewStreamOf(dict, c.Data);
    TDecodeBudget whole(c.Budget), piecewise(c.Budget);
    const TBytes expected = stream.Decode(&whole);
    auto reader = OpenStreamReader(stream, &piecewise);
    ASSERT_NE(reader, nullptr) << c.Entries;
    TBytes got;
    char piece[7];
    for (std::size_t n; (n = reader->Read(piece)) > 0;) got.append(piece, n);
    EXPECT_EQ(got, expected) << c.Entries;
    EXPECT_EQ(piecewise.Left(), whole.Left()) << c.Entries;
    EXPECT_EQ(piecewise.Exhausted(), whole.Exhausted()) << c.Entries;
  }
  // A damaged zlib header is left to the whole decoder's fallbacks.
  TPDFStructure pool;
  auto* dict = As<TPDFDictionary>(pool.ParseObject("<< /Filter /FlateDecode >>"));
  EXPECT_EQ(OpenStreamReader(*pool.NewStreamOf(dict, "xx" + packed.substr(2)), nullptr), nullptr);
}

}  // namespace
}  // namespace kestrel
