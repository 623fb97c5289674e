// Flate decoding and encoding, including damaged and oversized streams.
#include <gtest/gtest.h>
#include <zlib.h>

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

// Text-like data that compresses well but not trivially.
TBytes ContentLikeBytes(std::size_t n) {
  TBytes out;
  std::mt19937 rng(7);
  while (out.size() < n) {
    out += std::to_string(rng() % 1000) + " " + std::to_string(rng() % 800) + " m " +
           std::to_string(rng() % 1000) + " l S\n";
  }
  out.resize(n);
  return out;
}

// Raw deflate (no zlib header or trailer), made with zlib directly.
TBytes RawDeflate(const TBytes& data) {
  z_stream zs{};
  EXPECT_EQ(deflateInit2(&zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  TBytes out(deflateBound(&zs, data.size()) + 16, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

bool IsPrefixOf(const TBytes& part, const TBytes& whole) {
  return part.size() <= whole.size() && whole.compare(0, part.size(), part) == 0;
}

TEST(FiltersFlate, RoundTripsRandomAndRepetitiveData) {
  for (std::size_t n : {0u, 1u, 255u, 256u, 4097u, 100000u, 1u << 20}) {
    const TBytes data = RandomBytes(n, static_cast<unsigned>(n));
    const TBytes packed = DeflateBytes(data);
    ASSERT_GE(packed.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(packed[0]) & 0x0f, 8u) << "zlib header";
    EXPECT_EQ(InflateBytes(packed), data) << "n=" << n;
  }
  // Far beyond the initial output guess: the buffer has to grow many times.
  const TBytes zeros(20u << 20, '\0');
  const TBytes packed = DeflateBytes(zeros);
  EXPECT_LT(packed.size(), zeros.size() / 500);
  EXPECT_EQ(InflateBytes(packed), zeros);
  const TBytes text = ContentLikeBytes(300000);
  EXPECT_EQ(InflateBytes(DeflateBytes(text)), text);
}

TEST(FiltersFlate, EmptyAndGarbageInput) {
  EXPECT_EQ(InflateBytes(""), "");
  EXPECT_EQ(InflateBytes("x"), "");
  // A valid header followed by an invalid block type gives nothing.
  EXPECT_EQ(InflateBytes("\x78\x9c\xff\xff\xff\xff"s), "");
}

TEST(FiltersFlate, TruncatedStreamKeepsDecodedPrefix) {
  const TBytes text = ContentLikeBytes(200000);
  const TBytes packed = DeflateBytes(text);
  const TBytes half = InflateBytes(TByteView(packed).substr(0, packed.size() / 2));
  EXPECT_GT(half.size(), text.size() / 4);
  EXPECT_LT(half.size(), text.size());
  EXPECT_TRUE(IsPrefixOf(half, text));
  // Missing only the checksum: everything is there.
  EXPECT_EQ(InflateBytes(TByteView(packed).substr(0, packed.size() - 4)), text);
}

TEST(FiltersFlate, CorruptedChecksumKeepsOutput) {
  const TBytes text = ContentLikeBytes(50000);
  TBytes packed = DeflateBytes(text);
  packed.back() = static_cast<char>(packed.back() ^ 0x5a);
  EXPECT_EQ(InflateBytes(packed), text);
}

TEST(FiltersFlate, DamagedBlockKeepsOutputBeforeIt) {
  // Two flushed blocks; the second is made invalid by setting its block type to 3.
  const TBytes first = ContentLikeBytes(30000);
  z_stream zs{};
  ASSERT_EQ(deflateInit(&zs, 6), Z_OK);
  TBytes out(100000, '\0');
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(first.data()));
  zs.avail_in = static_cast<uInt>(first.size());
  ASSERT_EQ(deflate(&zs, Z_FULL_FLUSH), Z_OK);
  const std::size_t cut = zs.total_out;
  deflateEnd(&zs);
  out.resize(cut);
  out += "\x07\xff\xff"s;  // BFINAL=1, BTYPE=3 (reserved)
  EXPECT_EQ(InflateBytes(out), first);
}

TEST(FiltersFlate, BrokenHeaderFallsBackToRawInflate) {
  const TBytes text = ContentLikeBytes(40000);
  TBytes packed = DeflateBytes(text);
  packed[0] = 'X';
  packed[1] = 'Y';
  EXPECT_EQ(InflateBytes(packed), text);
  // No header at all.
  EXPECT_EQ(InflateBytes(RawDeflate(text)), text);
}

TEST(FiltersFlate, TrailingBytesAfterStreamAreIgnored) {
  const TBytes text = ContentLikeBytes(1000);
  EXPECT_EQ(InflateBytes(DeflateBytes(text) + "\r\nendstream"), text);
}

TEST(FiltersFlate, DecompressionBombIsCapped) {
  const TBytes packed = DeflateBytes(TBytes(8u << 20, 'A'));
  const TBytes capped = filters_detail::Inflate(packed, 1u << 20);
  EXPECT_EQ(capped, TBytes(1u << 20, 'A'));
  // A cap that is not a power of two and smaller than the first buffer.
  EXPECT_EQ(filters_detail::Inflate(packed, 1000), TBytes(1000, 'A'));
}

TEST(FiltersFlate, InflatePredictedUndoesPngRows) {
  // Two rows of 3 bytes, Up filter on the second.
  const TBytes rows = "\x00\x01\x02\x03\x02\x01\x01\x01"s;
  TPDFFlateParms parms;
  parms.Predictor = 12;
  parms.Columns = 3;
  EXPECT_EQ(InflatePredicted(DeflateBytes(rows), parms), "\x01\x02\x03\x02\x03\x04"s);
  parms.Predictor = 1;
  EXPECT_EQ(InflatePredicted(DeflateBytes(rows), parms), rows);
}

}  // namespace
}  // namespace kestrel
