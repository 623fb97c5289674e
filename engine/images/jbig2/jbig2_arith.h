#pragma once
// The MQ arithmetic decoder and the arithmetic integer procedures (IAx and IAID) built on it.
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/images/jbig2/jbig2_reader.h"

namespace kestrel::jbig2 {

// The probability estimation table: Qe, next index after MPS and LPS, MPS switch.
struct TQeEntry {
  std::uint16_t Qe;
  std::uint8_t NextMps, NextLps, Switch;
};

inline constexpr TQeEntry kQeTable[47] = {
    {0x5601, 1, 1, 1},   {0x3401, 2, 6, 0},   {0x1801, 3, 9, 0},   {0x0AC1, 4, 12, 0},
    {0x0521, 5, 29, 0},  {0x0221, 38, 33, 0}, {0x5601, 7, 6, 1},   {0x5401, 8, 14, 0},
    {0x4801, 9, 14, 0},  {0x3801, 10, 14, 0}, {0x3001, 11, 17, 0}, {0x2401, 12, 18, 0},
    {0x1C01, 13, 20, 0}, {0x1601, 29, 21, 0}, {0x5601, 15, 14, 1}, {0x5401, 16, 14, 0},
    {0x5101, 17, 15, 0}, {0x4801, 18, 16, 0}, {0x3801, 19, 17, 0}, {0x3401, 20, 18, 0},
    {0x3001, 21, 19, 0}, {0x2801, 22, 19, 0}, {0x2401, 23, 20, 0}, {0x2201, 24, 21, 0},
    {0x1C01, 25, 22, 0}, {0x1801, 26, 23, 0}, {0x1601, 27, 24, 0}, {0x1401, 28, 25, 0},
    {0x1201, 29, 26, 0}, {0x1101, 30, 27, 0}, {0x0AC1, 31, 28, 0}, {0x09C1, 32, 29, 0},
    {0x08A1, 33, 30, 0}, {0x0521, 34, 31, 0}, {0x0441, 35, 32, 0}, {0x02A1, 36, 33, 0},
    {0x0221, 37, 34, 0}, {0x0141, 38, 35, 0}, {0x0111, 39, 36, 0}, {0x0085, 40, 37, 0},
    {0x0049, 41, 38, 0}, {0x0025, 42, 39, 0}, {0x0015, 43, 40, 0}, {0x0009, 44, 41, 0},
    {0x0005, 45, 42, 0}, {0x0001, 45, 43, 0}, {0x5601, 46, 46, 0},
};


// One adaptive context: the probability state index times two plus the more probable symbol.
using TContext = std::uint8_t;

class TArithmeticDecoder {
 public:
  TArithmeticDecoder() = default;
  explicit TArithmeticDecoder(TByteSpan data) { Start(data); }

  // Starts decoding at the first byte of `data`. Past its end the decoder reads 0xFF bytes, so
  // it never fails: callers bound their loops by sizes, not by the data.
  void Start(TByteSpan data);
  int Decode(TContext& cx);
  // Bytes the decoder has taken in so far (for data that continues after the coded part).
  std::size_t Consumed() const { return pos_; }

 private:
  std::uint8_t ByteAt(std::size_t i) const { return i < data_.size() ? data_[i] : 0xFF; }
  void ByteIn();

  TByteSpan data_;
  std::size_t pos_ = 0;
  std::uint32_t c_ = 0, a_ = 0;
  int ct_ = 0;
};

inline int TArithmeticDecoder::Decode(TContext& cx) {
  const TQeEntry& e = kQeTable[cx >> 1];
  int mps = cx & 1;
  int d;
  a_ -= e.Qe;
  if ((c_ >> 16) < e.Qe) {
    // The lower sub-interval, normally the less probable symbol.
    if (a_ < e.Qe) {
      d = mps;
      cx = TContext((e.NextMps << 1) | mps);
    } else {
      d = 1 - mps;
      if (e.Switch) mps = 1 - mps;
      cx = TContext((e.NextLps << 1) | mps);
    }
    a_ = e.Qe;
  } else {
    c_ -= std::uint32_t(e.Qe) << 16;
    if (a_ & 0x8000) return mps;
    if (a_ < e.Qe) {
      d = 1 - mps;
      if (e.Switch) mps = 1 - mps;
      cx = TContext((e.NextLps << 1) | mps);
    } else {
      d = mps;
      cx = TContext((e.NextMps << 1) | mps);
    }
  }
  do {
    if (ct_ == 0) ByteIn();
    a_ <<= 1;
    c_ <<= 1;
    --ct_;
  } while ((a_ & 0x8000) == 0);
  return d;
}

// The integer procedures keep 512 contexts each.
class TIntegerDecoder {
 public:
  TIntegerDecoder() : cx_(512, 0) {}
  // The decoded value, or nullopt for out-of-band.
  std::optional<std::int32_t> Decode(TArithmeticDecoder& ad);
  void Reset() { std::fill(cx_.begin(), cx_.end(), 0); }

 private:
  std::vector<TContext> cx_;
};

// Symbol identifiers of a fixed code length.
class TIdDecoder {
 public:
  explicit TIdDecoder(int codeLength);
  std::uint32_t Decode(TArithmeticDecoder& ad);

 private:
  int length_;
  std::vector<TContext> cx_;
};

// Bits needed to tell `count` symbols apart: ceil(log2(count)).
int CodeLength(std::uint64_t count);

}  // namespace kestrel::jbig2
