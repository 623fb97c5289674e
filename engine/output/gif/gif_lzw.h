#pragma once
// GIF's variable-width LZW compression of 8-bit pixel indices (codes of 9 to 12 bits).
#include <array>
#include <cstdint>
#include <span>

#include "engine/syntax/bytes.h"

namespace kestrel {

// The string dictionary: open addressing over 8009 cells (a prime), each cell
// (key << 12) | code with every bit set meaning empty. Keys are prefix × 256 + pixel with
// prefix below 4095, so an occupied cell is always below 0xFFFFF000.
class THashTable {
 public:
  static constexpr int kSize = 8009;
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

  THashTable() { Clear(); }
  void Clear() { Cells_.fill(kEmpty); }
  // The code stored for `key`, or -1.
  int Find(std::uint32_t key) const;
  // Stores `key` → `code` (code below 4096). The table must not be full; the encoder never
  // stores more than 3837 strings between two clears.
  void Insert(std::uint32_t key, int code);

 private:
  static int FirstProbe(std::uint32_t key) {
    return static_cast<int>((key ^ (key >> 4)) % kSize);
  }
  static int Step(int probe) { return probe == 0 ? 1 : kSize - probe; }

  std::array<std::uint32_t, kSize> Cells_;
};

// Emitted bytes gathered into GIF data sub-blocks of at most 255 bytes, each behind its
// length; Finish adds the zero-length terminator.
class TGIFStream {
 public:
  explicit TGIFStream(TBytes& out) : Out_(out) {}
  void Put(std::uint8_t byte);
  void Finish();

 private:
  TBytes& Out_;
  std::array<char, 255> Block_{};
  int Used_ = 0;
};

class TGIFEncoder {
 public:
  static constexpr int kMinCodeSize = 8;
  static constexpr int kClearCode = 256;
  static constexpr int kEndCode = 257;
  static constexpr int kFirstFree = 258;
  // The last code given to a string before the dictionary is cleared.
  static constexpr int kLastCode = 4094;

  // Appends the minimum code size byte, the LZW data of `indices` as sub-blocks and the block
  // terminator to `out`.
  void Compress(std::span<const std::uint8_t> indices, TBytes& out);

  // Clear codes written by the last Compress, the leading one included.
  int ClearCodes() const { return ClearCodes_; }

 private:
  void Output(int code, TGIFStream& stream);
  void ClearBlock(TGIFStream& stream);

  THashTable Table_;
  int InitBits_ = kMinCodeSize + 1;
  int Bits_ = InitBits_;
  int MaxCode_ = (1 << InitBits_) - 1;
  int FreeEntry_ = kFirstFree;
  bool ClearFlag_ = false;
  std::uint32_t Bucket_ = 0;
  int BucketBits_ = 0;
  int ClearCodes_ = 0;
};

}  // namespace kestrel
