// The LZW encoder, its hash table and the sub-block stream, checked by decoding the output
// with an independent decoder that widens codes the way GIF readers do.
#include "engine/output/gif/gif_lzw.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz/harness/gif.h"

namespace kestrel {
namespace {

// Splits the encoder's output into its minimum code size, sub-block sizes and payload.
struct TSplit {
  int MinCodeSize = -1;
  std::vector<int> Blocks;
  std::string Payload;
  bool Terminated = false;
};

TSplit Split(const TBytes& lzw) {
  TSplit s;
  if (lzw.empty()) return s;
  s.MinCodeSize = static_cast<std::uint8_t>(lzw[0]);
  std::size_t at = 1;
  while (at < lzw.size()) {
    const std::size_t n = static_cast<std::uint8_t>(lzw[at]);
    if (n == 0) {
      s.Terminated = at + 1 == lzw.size();
      break;
    }
    if (lzw.size() - at - 1 < n) break;
    s.Blocks.push_back(static_cast<int>(n));
    s.Payload.append(lzw, at + 1, n);
    at += n + 1;
  }
  return s;
}

fuzzharness::TDecodedLZW RoundTrip(const std::vector<std::uint8_t>& indices, int* clears) {
  TGIFEncoder encoder;
  TBytes lzw;
  encoder.Compress(indices, lzw);
  const TSplit split = Split(lzw);
  EXPECT_EQ(split.MinCodeSize, 8);
  EXPECT_TRUE(split.Terminated);
  if (clears) *clears = encoder.ClearCodes();
  return fuzzharness::DecodeGIFLZW(8, split.Payload);
}

std::vector<std::uint8_t> Noise(std::size_t n, std::uint32_t seed) {
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    b = static_cast<std::uint8_t>(seed);
  }
  return v;
}

TEST(GIFLZW, EmptyInputIsClearThenEnd) {
  TGIFEncoder encoder;
  TBytes lzw;
  encoder.Compress({}, lzw);
  // 256 and 257 in 9 bits each, least significant bits first: 0x20300.
  EXPECT_EQ(lzw, std::string("\x08\x03\x00\x03\x02\x00", 6));
}

TEST(GIFLZW, SingleIndexStreamStartsWithClear) {
  const std::vector<std::uint8_t> zeros(5000, 0);
  const fuzzharness::TDecodedLZW d = RoundTrip(zeros, nullptr);
  ASSERT_TRUE(d.Ok) << d.Error;
  EXPECT_EQ(d.Indices, zeros);
  ASSERT_GE(d.Codes.size(), 3u);
  EXPECT_EQ(d.Codes.front(), 256);
  EXPECT_EQ(d.Codes[1], 0);
  EXPECT_EQ(d.Codes.back(), 257);
  EXPECT_EQ(d.ClearCodes, 1);
  // Runs of one index grow one longer per code: 1 + 2 + ... + n ≥ 5000 needs about 100 codes.
  EXPECT_LT(d.Codes.size(), 110u);
}

TEST(GIFLZW, ClearCodeAfterTheLastStringAndNineBitsAgain) {
  // Noise makes a new string at nearly every code, so the dictionary fills quickly.
  const std::vector<std::uint8_t> noise = Noise(30000, 0x2545F491u);
  int clears = 0;
  const fuzzharness::TDecodedLZW d = RoundTrip(noise, &clears);
  ASSERT_TRUE(d.Ok) << d.Error;
  EXPECT_EQ(d.Indices, noise);
  EXPECT_GE(d.ClearCodes, 3);
  EXPECT_EQ(d.ClearCodes, clears);
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < d.Codes.size(); ++i) {
    if (d.Codes[i] == 256) at.push_back(i);
  }
  ASSERT_GE(at.size(), 2u);
  EXPECT_EQ(at[0], 0u);
  for (std::size_t k = 1; k < at.size(); ++k) {
    // Strings 258 to 4094 (3837 of them) come with 3837 codes; one more code precedes the clear.
    EXPECT_EQ(at[k] - at[k - 1] - 1, 3838u) << k;
    EXPECT_EQ(d.CodeWidths[at[k]], 12);
    EXPECT_EQ(d.CodeWidths[at[k] - 1], 12);
    EXPECT_EQ(d.CodeWidths[at[k] + 1], 9);
    // The largest code given to a string before the clear.
    int largest = 0;
    for (std::size_t i = at[k - 1] + 1; i < at[k]; ++i) largest = std::max(largest, d.Codes[i]);
    EXPECT_LE(largest, 4094);
  }
  // Widths only grow between clears, 9 to 12 bits.
  for (std::size_t i = 1; i < d.CodeWidths.size(); ++i) {
    if (d.Codes[i - 1] != 256) {
      EXPECT_GE(d.CodeWidths[i], d.CodeWidths[i - 1]) << i;
    }
    EXPECT_LE(d.CodeWidths[i], 12);
  }
}

TEST(GIFLZW, RoundTripsManyShapes) {
  std::vector<std::vector<std::uint8_t>> inputs;
  inputs.push_back({7});
  inputs.push_back({1, 1});
  inputs.push_back({1, 2, 1, 2, 1, 2, 1, 2, 1});
  std::vector<std::uint8_t> ramp;
  for (int i = 0; i < 70000; ++i) ramp.push_back(std::uint8_t(i % 256));
  inputs.push_back(ramp);
  std::vector<std::uint8_t> blocks;
  for (int i = 0; i < 100000; ++i) blocks.push_back(std::uint8_t((i / 37) % 5 * 40 + (i % 3)));
  inputs.push_back(blocks);
  inputs.push_back(Noise(12000, 99));
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const fuzzharness::TDecodedLZW d = RoundTrip(inputs[i], nullptr);
    ASSERT_TRUE(d.Ok) << i << ": " << d.Error;
    EXPECT_EQ(d.Indices, inputs[i]) << i;
    EXPECT_TRUE(d.EndCodeSeen);
  }
}

TEST(GIFLZW, SubBlocksAre255BytesThenTheRest) {
  TBytes out;
  {
    TGIFStream stream(out);
    for (int i = 0; i < 600; ++i) stream.Put(std::uint8_t(i));
    stream.Finish();
  }
  ASSERT_EQ(out.size(), 1 + 255 + 1 + 255 + 1 + 90 + 1u);
  EXPECT_EQ(std::uint8_t(out[0]), 255);
  EXPECT_EQ(std::uint8_t(out[1]), 0);
  EXPECT_EQ(std::uint8_t(out[255]), 254);
  EXPECT_EQ(std::uint8_t(out[256]), 255);
  EXPECT_EQ(std::uint8_t(out[257]), 255);  // byte 255 of the input
  EXPECT_EQ(std::uint8_t(out[512]), 90);
  EXPECT_EQ(std::uint8_t(out[513]), std::uint8_t(510));
  EXPECT_EQ(out.back(), '\0');
  // An exact multiple of 255 has no short block.
  TBytes exact;
  {
    TGIFStream stream(exact);
    for (int i = 0; i < 255; ++i) stream.Put(1);
    stream.Finish();
  }
  EXPECT_EQ(exact.size(), 257u);
  EXPECT_EQ(exact.back(), '\0');
  TBytes none;
  TGIFStream(none).Finish();
  EXPECT_EQ(none, std::string(1, '\0'));
}

TEST(GIFLZW, HashTableFindsWhatItStoresAcrossCollisions) {
  THashTable table;
  EXPECT_EQ(table.Find(12345), -1);
  // Keys sharing a first probe, gathered by search.
  std::vector<std::uint32_t> colliding;
  const auto probe = [](std::uint32_t k) { return (k ^ (k >> 4)) % 8009; };
  for (std::uint32_t k = 0; k < 0xFFEFF && colliding.size() < 6; ++k) {
    if (probe(k) == probe(4000)) colliding.push_back(k);
  }
  ASSERT_EQ(colliding.size(), 6u);
  for (std::size_t i = 0; i < colliding.size(); ++i) table.Insert(colliding[i], int(300 + i));
  for (std::size_t i = 0; i < colliding.size(); ++i) {
    EXPECT_EQ(table.Find(colliding[i]), int(300 + i));
  }
  // A first probe of 0 steps by one cell, wrapping to the last cell.
  std::vector<std::uint32_t> atZero;
  for (std::uint32_t k = 1; k < 0xFFEFF && atZero.size() < 2; ++k) {
    if (probe(k) == 0) atZero.push_back(k);
  }
  ASSERT_EQ(atZero.size(), 2u);
  table.Insert(atZero[0], 258);
  table.Insert(atZero[1], 259);
  EXPECT_EQ(table.Find(atZero[0]), 258);
  EXPECT_EQ(table.Find(atZero[1]), 259);
  // The largest key the encoder can make is stored and found.
  table.Insert(4094u * 256 + 255, 4094);
  EXPECT_EQ(table.Find(4094u * 256 + 255), 4094);
  table.Clear();
  for (std::uint32_t k : colliding) EXPECT_EQ(table.Find(k), -1);
  // Filled to the encoder's most (3837 strings), everything is still found.
  for (int i = 0; i < 3837; ++i) table.Insert(std::uint32_t(i) * 263 + 11, 258 + i);
  for (int i = 0; i < 3837; ++i) ASSERT_EQ(table.Find(std::uint32_t(i) * 263 + 11), 258 + i);
}

}  // namespace
}  // namespace kestrel
