#include "engine/images/jbig2/jbig2_huffman.h"

#include <array>

namespace kestrel::jbig2 {

namespace {

constexpr int kMaxPrefix = 32;
// Real tables have a few dozen lines.
constexpr std::size_t kMaxTableLines = 1u << 16;

using L = THuffmanLine;

// {prefix length, range length, range low, kind}; a 32-bit range on a Lower or Upper line.
std::vector<L> StandardLines(int n) {
  const auto lo = L::Lower, up = L::Upper, oob = L::OutOfBand;
  switch (n) {
    case 1: return {{1, 4, 0}, {2, 8, 16}, {3, 16, 272}, {3, 32, 65808, up}};
    case 2:
      return {{1, 0, 0}, {2, 0, 1}, {3, 0, 2}, {4, 3, 3}, {5, 6, 11}, {6, 32, 75, up}, {6, 0, 0, oob}};
    case 3:
      return {{8, 8, -256},      {1, 0, 0},  {2, 0, 1},         {3, 0, 2},        {4, 3, 3},
              {5, 6, 11},        {8, 32, -257, lo}, {7, 32, 75, up}, {6, 0, 0, oob}};
    case 4: return {{1, 0, 1}, {2, 0, 2}, {3, 0, 3}, {4, 3, 4}, {5, 6, 12}, {5, 32, 76, up}};
    case 5:
      return {{7, 8, -255}, {1, 0, 1},  {2, 0, 2},         {3, 0, 3},
              {4, 3, 4},    {5, 6, 12}, {7, 32, -256, lo}, {6, 32, 76, up}};
    case 6:
      return {{5, 10, -2048}, {4, 9, -1024}, {4, 8, -512},        {4, 7, -256},
              {5, 6, -128},   {5, 5, -64},   {4, 5, -32},         {2, 7, 0},
              {3, 7, 128},    {3, 8, 256},   {4, 9, 512},         {4, 10, 1024},
              {6, 32, -2049, lo}, {6, 32, 2048, up}};
    case 7:
      return {{4, 9, -1024}, {3, 8, -512}, {4, 7, -256}, {5, 6, -128}, {5, 5, -64},
              {4, 5, -32},   {4, 5, 0},    {5, 5, 32},   {5, 6, 64},   {4, 7, 128},
              {3, 8, 256},   {3, 9, 512},  {3, 10, 1024}, {5, 32, -1025, lo}, {5, 32, 2048, up}};
    case 8:
      return {{8, 3, -15}, {9, 1, -7},  {8, 1, -5},  {9, 0, -3},   {7, 0, -2},
              {4, 0, -1},  {2, 1, 0},   {5, 0, 2},   {6, 0, 3},    {3, 4, 4},
              {6, 1, 20},  {4, 4, 22},  {4, 5, 38},  {5, 6, 70},   {5, 7, 134},
              {6, 7, 262}, {7, 8, 390}, {6, 10, 646}, {9, 32, -16, lo}, {9, 32, 1670, up},
              {2, 0, 0, oob}};
    case 9:
      return {{8, 4, -31},  {9, 2, -15},  {8, 2, -11},   {9, 1, -7},   {7, 1, -5},
              {4, 1, -3},   {3, 1, -1},   {3, 1, 1},     {5, 1, 3},    {6, 1, 5},
              {3, 5, 7},    {6, 2, 39},   {4, 5, 43},    {4, 6, 75},   {5, 7, 139},
              {5, 8, 267},  {6, 8, 523},  {7, 9, 779},   {6, 11, 1291}, {9, 32, -32, lo},
              {9, 32, 3339, up}, {2, 0, 0, oob}};
    case 10:
      return {{7, 4, -21},  {8, 0, -5},   {7, 0, -4},   {5, 0, -3},    {2, 2, -2},
              {5, 0, 2},    {6, 0, 3},    {7, 0, 4},    {8, 0, 5},     {2, 6, 6},
              {5, 5, 70},   {6, 5, 102},  {6, 6, 134},  {6, 7, 198},   {6, 8, 326},
              {6, 9, 582},  {6, 10, 1094}, {7, 11, 2118}, {8, 32, -22, lo}, {8, 32, 4166, up},
              {2, 0, 0, oob}};
    case 11:
      return {{1, 0, 1},  {2, 1, 2},  {4, 0, 4},  {4, 1, 5},  {5, 1, 7},  {5, 2, 9},  {6, 2, 13},
              {7, 2, 17}, {7, 3, 21}, {7, 4, 29}, {7, 5, 45}, {7, 6, 77}, {7, 32, 141, up}};
    case 12:
      return {{1, 0, 1},  {2, 0, 2},  {3, 1, 3},  {5, 0, 5},  {5, 1, 6},  {6, 1, 8},  {7, 0, 10},
              {7, 1, 11}, {7, 2, 13}, {7, 3, 17}, {7, 4, 25}, {8, 5, 41}, {8, 32, 73, up}};
    case 13:
      return {{1, 0, 1},  {3, 0, 2},  {4, 0, 3},  {5, 0, 4},  {4, 1, 5},  {3, 3, 7},  {6, 1, 15},
              {6, 2, 17}, {6, 3, 21}, {6, 4, 29}, {6, 5, 45}, {7, 6, 77}, {7, 32, 141, up}};
    case 14: return {{3, 0, -2}, {3, 0, -1}, {1, 0, 0}, {3, 0, 1}, {3, 0, 2}};
    case 15:
      return {{7, 4, -24}, {6, 2, -8}, {5, 1, -4}, {4, 0, -2}, {3, 0, -1}, {1, 0, 0},
              {3, 0, 1},   {4, 0, 2},  {5, 1, 3},  {6, 2, 5},  {7, 4, 9},  {7, 32, -25, lo},
              {7, 32, 25, up}};
  }
  return {};
}

}  // namespace

THuffmanTable::THuffmanTable(std::vector<THuffmanLine> lines) : lines_(std::move(lines)) {
  std::array<std::uint32_t, kMaxPrefix + 1> counts{};
  for (const L& line : lines_) {
    if (line.PrefixLength < 0 || line.PrefixLength > kMaxPrefix || line.RangeLength < 0 ||
        line.RangeLength > 32)
      Fail("JBIG2 Huffman table line out of range");
    if (line.PrefixLength > 0) ++counts[std::size_t(line.PrefixLength)];
  }
  firstCode_.assign(kMaxPrefix + 1, 0);
  firstIndex_.assign(kMaxPrefix + 1, 0);
  count_.assign(counts.begin(), counts.end());
  std::uint64_t code = 0;
  std::uint32_t index = 0;
  for (int len = 1; len <= kMaxPrefix; ++len) {
    code = (code + counts[std::size_t(len - 1)]) << 1;
    firstIndex_[std::size_t(len)] = index;
    index += counts[std::size_t(len)];
    if (code + counts[std::size_t(len)] > 0x100000000u) {
      // An oversubscribed table: codes this long cannot be told apart any more.
      count_[std::size_t(len)] = 0;
      continue;
    }
    firstCode_[std::size_t(len)] = std::uint32_t(code);
  }
  // Lines by prefix length, in table order within a length.
  order_.assign(index, 0);
  std::array<std::uint32_t, kMaxPrefix + 1> next{};
  for (int len = 1; len <= kMaxPrefix; ++len) next[std::size_t(len)] = firstIndex_[std::size_t(len)];
  for (std::uint32_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].PrefixLength > 0) order_[next[std::size_t(lines_[i].PrefixLength)]++] = i;
}

std::optional<std::int32_t> THuffmanTable::Decode(TStreamReader& in) const {
  std::uint32_t code = 0;
  for (int len = 1; len <= kMaxPrefix; ++len) {
    code = (code << 1) | std::uint32_t(in.Bit());
    const std::uint32_t n = count_[std::size_t(len)];
    if (n == 0 || code < firstCode_[std::size_t(len)]) continue;
    const std::uint32_t k = code - firstCode_[std::size_t(len)];
    if (k >= n) continue;
    const L& line = lines_[order_[firstIndex_[std::size_t(len)] + k]];
    if (line.Kind == L::OutOfBand) return std::nullopt;
    const std::int64_t offset = line.RangeLength ? std::int64_t(in.Bits(line.RangeLength)) : 0;
    const std::int64_t v = line.Kind == L::Lower ? std::int64_t(line.RangeLow) - offset
                                                 : std::int64_t(line.RangeLow) + offset;
    if (v < INT32_MIN || v > INT32_MAX) Fail("JBIG2 Huffman value out of range");
    return std::int32_t(v);
  }
  Fail("JBIG2 Huffman code not in the table");
}

const THuffmanTable& StandardTable(int n) {
  static const std::array<THuffmanTable, 15> tables = [] {
    std::array<THuffmanTable, 15> t;
    for (int i = 0; i < 15; ++i) t[std::size_t(i)] = THuffmanTable(StandardLines(i + 1));
    return t;
  }();
  if (n < 1 || n > 15) Fail("JBIG2 standard table out of range");
  return tables[std::size_t(n - 1)];
}

THuffmanTable ReadTableSegment(TStreamReader& in) {
  const int flags = in.U8();
  const bool oob = flags & 1;
  const int prefixBits = ((flags >> 1) & 7) + 1;
  const int rangeBits = ((flags >> 4) & 7) + 1;
  const std::int64_t low = in.S32(), high = in.S32();
  if (low >= high) Fail("JBIG2 table range empty");
  std::vector<L> lines;
  std::int64_t current = low;
  while (current < high) {
    if (lines.size() >= kMaxTableLines) Fail("JBIG2 table has too many lines");
    L line;
    line.PrefixLength = int(in.Bits(prefixBits));
    line.RangeLength = int(in.Bits(rangeBits));
    if (line.RangeLength > 32) Fail("JBIG2 table line range too long");
    line.RangeLow = std::int32_t(current);
    lines.push_back(line);
    current += std::int64_t{1} << line.RangeLength;
  }
  L lower{int(in.Bits(prefixBits)), 32, std::int32_t(low - 1), L::Lower};
  if (low == INT32_MIN) lower.PrefixLength = 0;
  lines.push_back(lower);
  lines.push_back({int(in.Bits(prefixBits)), 32, std::int32_t(high), L::Upper});
  if (oob) lines.push_back({int(in.Bits(prefixBits)), 0, 0, L::OutOfBand});
  return THuffmanTable(std::move(lines));
}

}  // namespace kestrel::jbig2
