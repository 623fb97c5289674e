#pragma once
// Huffman tables: the fifteen standard ones, tables from table segments, and the text region's
// symbol identifier table; decoding from a bit reader.
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/images/jbig2/jbig2_reader.h"

namespace kestrel::jbig2 {

struct THuffmanLine {
  int PrefixLength = 0;
  int RangeLength = 0;
  std::int32_t RangeLow = 0;
  enum TKind : std::uint8_t { Normal, Lower, Upper, OutOfBand } Kind = Normal;
};

class THuffmanTable {
 public:
  THuffmanTable() = default;
  // Assigns the prefix codes in line order, shortest first.
  explicit THuffmanTable(std::vector<THuffmanLine> lines);

  // The value, or nullopt for out-of-band.
  std::optional<std::int32_t> Decode(TStreamReader& in) const;
  bool Empty() const { return lines_.empty(); }

 private:
  std::vector<THuffmanLine> lines_;
  // Lines ordered by code; for each prefix length the first code and where its lines start.
  std::vector<std::uint32_t> order_;
  std::vector<std::uint32_t> firstCode_, firstIndex_, count_;
};

// Standard table B.n, n in 1..15.
const THuffmanTable& StandardTable(int n);

// A table segment's data.
THuffmanTable ReadTableSegment(TStreamReader& in);

}  // namespace kestrel::jbig2
