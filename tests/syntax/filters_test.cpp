// ASCII85, ASCIIHex and RunLength decoders and the ASCII85 encoder.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/syntax/filters.h"
#include "engine/syntax/filters_internal.h"

namespace kestrel {
namespace {

using namespace std::string_literals;

TBytes RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  TBytes out(n, '\0');
  for (auto& c : out) c = static_cast<char>(rng() & 0xff);
  return out;
}

TEST(FiltersASCII85, DecodesKnownText) {
  EXPECT_EQ(DecodeASCII85("87cURD]j7BEbo7~>"), "Hello world");
  EXPECT_EQ(DecodeASCII85("z~>"), "\0\0\0\0"s);
  EXPECT_EQ(DecodeASCII85("!!~>"), "\0"s);
  EXPECT_EQ(DecodeASCII85("~>"), "");
  EXPECT_EQ(DecodeASCII85(""), "");
}

TEST(FiltersASCII85, IgnoresWhitespaceAndLineBreaks) {
  EXPECT_EQ(DecodeASCII85("87cU\r\nRD]j 7BE\tbo7\n~>"), "Hello world");
  EXPECT_EQ(DecodeASCII85(" z \n z ~>"), TBytes(8, '\0'));
}

TEST(FiltersASCII85, MissingEndMarkerDecodesWhatIsThere) {
  EXPECT_EQ(DecodeASCII85("87cURD]j7BEbo7"), "Hello world");
  EXPECT_EQ(DecodeASCII85("87cURD]j7BEbo7\n"), "Hello world");
  // Only "~" without ">" also ends the data.
  EXPECT_EQ(DecodeASCII85("87cURD]j7BEbo7~"), "Hello world");
}

TEST(FiltersASCII85, IgnoresEverythingAfterEndMarker) {
  EXPECT_EQ(DecodeASCII85("87cURD]j7BEbo7~>garbage z"), "Hello world");
}

TEST(FiltersASCII85, PartialGroups) {
  // One leftover digit carries no byte; n digits give n - 1 bytes.
  EXPECT_EQ(DecodeASCII85("!~>"), "");
  EXPECT_EQ(DecodeASCII85("87cUR~>"), "Hell");
  EXPECT_EQ(DecodeASCII85("87cURD]~>"), "Hello");
  // A full group above 2^32 - 1 is invalid and gives four zero bytes.
  EXPECT_EQ(DecodeASCII85("uuuuu~>"), TBytes(4, '\0'));
  EXPECT_EQ(DecodeASCII85("s8W-!~>"), "\xff\xff\xff\xff"s);
}

TEST(FiltersASCII85, EncodesKnownValues) {
  EXPECT_EQ(EncodeASCII85("\0\0\0\0"s), "z~>");
  EXPECT_EQ(EncodeASCII85("\0"s), "!!~>");
  EXPECT_EQ(EncodeASCII85(""), "~>");
  EXPECT_EQ(EncodeASCII85("Hello world"), "87cURD]j7BEbo7~>");
  // A short final group of zeros is not abbreviated.
  EXPECT_EQ(EncodeASCII85("\0\0\0"s), "!!!!~>");
}

TEST(FiltersASCII85, EncodedLinesStayShortAndRoundTrip) {
  for (std::size_t n : {0u, 1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 57u, 1000u, 4099u}) {
    TBytes data = RandomBytes(n, static_cast<unsigned>(n) + 1);
    if (n > 20) data.replace(8, 8, 8, '\0');  // a "z" group mid-stream
    const TBytes text = EncodeASCII85(data);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "~>");
    std::size_t lineStart = 0;
    for (std::size_t pos = text.find("\r\n"); pos != TBytes::npos; pos = text.find("\r\n", lineStart)) {
      EXPECT_LE(pos - lineStart, 75u) << "n=" << n;
      EXPECT_GT(pos - lineStart, 70u) << "lines break only past 70 characters";
      lineStart = pos + 2;
    }
    EXPECT_LE(text.size() - lineStart, 77u);
    EXPECT_EQ(DecodeASCII85(text), data) << "n=" << n;
  }
}

TEST(FiltersASCII85, OutputIsCapped) {
  const TBytes zs(1000, 'z');
  EXPECT_EQ(filters_detail::DecodeASCII85(zs, 10), TBytes(10, '\0'));
  EXPECT_EQ(filters_detail::DecodeASCII85("87cURD]j7BEbo7~>", 5), "Hello");
  EXPECT_EQ(filters_detail::DecodeASCII85("87cURD]j7BEbo7~>", 10), "Hello worl");
}

TEST(FiltersASCIIHex, DecodesPairs) {
  EXPECT_EQ(DecodeASCIIHex("48656C6C6F>"), "Hello");
  EXPECT_EQ(DecodeASCIIHex("48656c6c6f"), "Hello");
  EXPECT_EQ(DecodeASCIIHex("48 65\r\n6C\t6C 6F >"), "Hello");
  EXPECT_EQ(DecodeASCIIHex(""), "");
  EXPECT_EQ(DecodeASCIIHex(">"), "");
  EXPECT_EQ(DecodeASCIIHex("00ff80>"), "\x00\xff\x80"s);
}

TEST(FiltersASCIIHex, OddDigitIsPaddedWithZero) {
  EXPECT_EQ(DecodeASCIIHex("486>"), "H\x60"s);
  EXPECT_EQ(DecodeASCIIHex("7"), "\x70"s);
}

TEST(FiltersASCIIHex, LettersBeyondFGiveZeroAndEndMarkerStops) {
  EXPECT_EQ(DecodeASCIIHex("4G41>"), "\0A"s);
  EXPECT_EQ(DecodeASCIIHex("G>"), "\0"s);
  // Punctuation is skipped; data after ">" is not part of the stream.
  EXPECT_EQ(DecodeASCIIHex("4-1.42>4344"), "AB");
}

TEST(FiltersRunLength, DecodesLiteralAndRepeatRuns) {
  EXPECT_EQ(DecodeRunLength("\x02" "ABC" "\xfe" "D" "\x80"s), "ABCDDD");
  EXPECT_EQ(DecodeRunLength("\x81X\x80"s), TBytes(128, 'X'));
  EXPECT_EQ(DecodeRunLength("\x7f"s + TBytes(128, 'q') + "\x80"), TBytes(128, 'q'));
  EXPECT_EQ(DecodeRunLength(""), "");
  EXPECT_EQ(DecodeRunLength("\x80" "\x02" "ABC"s), "");
}

TEST(FiltersRunLength, ToleratesMissingEndAndShortRuns) {
  EXPECT_EQ(DecodeRunLength("\x02" "ABC"s), "ABC");       // no end-of-data byte
  EXPECT_EQ(DecodeRunLength("\x05" "AB"s), "AB");         // literal run cut short
  EXPECT_EQ(DecodeRunLength("\x01" "AB" "\xfd"s), "AB");  // repeat without its byte
}

TEST(FiltersRunLength, OutputIsCapped) {
  TBytes bomb;
  for (int i = 0; i < 1000; ++i) bomb += "\x81\x07"s;
  EXPECT_EQ(filters_detail::DecodeRunLength(bomb, 1000), TBytes(1000, '\x07'));
  EXPECT_EQ(filters_detail::DecodeRunLength("\x04" "ABCDE"s, 3), "ABC");
  EXPECT_EQ(DecodeRunLength(bomb).size(), 128000u);
}

}  // namespace
}  // namespace kestrel
