#include "engine/output/gif/gif_lzw.h"

namespace kestrel {

static_assert((std::uint32_t{TGIFEncoder::kLastCode} * 256 + 255) << 12 < 0xFFFFF000u,
              "an occupied hash cell must never look empty");

int THashTable::Find(std::uint32_t key) const {
  int probe = FirstProbe(key);
  const int step = Step(probe);
  // The table is never full, so an empty cell ends the search; the bound is a safety net.
  for (int tries = 0; tries < kSize; ++tries) {
    const std::uint32_t cell = Cells_[probe];
    if (cell == kEmpty) return -1;
    if ((cell >> 12) == key) return static_cast<int>(cell & 0xFFF);
    probe -= step;
    if (probe < 0) probe += kSize;
  }
  return -1;
}

void THashTable::Insert(std::uint32_t key, int code) {
  int probe = FirstProbe(key);
  const int step = Step(probe);
  for (int tries = 0; tries < kSize; ++tries) {
    if (Cells_[probe] == kEmpty) {
      Cells_[probe] = (key << 12) | static_cast<std::uint32_t>(code & 0xFFF);
      return;
    }
    probe -= step;
    if (probe < 0) probe += kSize;
  }
}

void TGIFStream::Put(std::uint8_t byte) {
  Block_[Used_++] = static_cast<char>(byte);
  if (Used_ == 255) {
    Out_.push_back(static_cast<char>(255));
    Out_.append(Block_.data(), 255);
    Used_ = 0;
  }
}

void TGIFStream::Finish() {
  if (Used_ > 0) {
    Out_.push_back(static_cast<char>(Used_));
    Out_.append(Block_.data(), static_cast<std::size_t>(Used_));
    Used_ = 0;
  }
  Out_.push_back('\0');
}

void TGIFEncoder::Output(int code, TGIFStream& stream) {
  Bucket_ |= static_cast<std::uint32_t>(code) << BucketBits_;
  BucketBits_ += Bits_;
  while (BucketBits_ > 7) {
    stream.Put(static_cast<std::uint8_t>(Bucket_ & 0xFF));
    Bucket_ >>= 8;
    BucketBits_ -= 8;
  }
  if (code == kEndCode) {
    while (BucketBits_ > 0) {
      stream.Put(static_cast<std::uint8_t>(Bucket_ & 0xFF));
      Bucket_ >>= 8;
      BucketBits_ -= 8;
    }
    BucketBits_ = 0;
    Bucket_ = 0;
  }
  // The width follows the decoder, which widens once its next free code needs another bit.
  if (ClearFlag_) {
    Bits_ = InitBits_;
    MaxCode_ = (1 << Bits_) - 1;
    ClearFlag_ = false;
  } else if (FreeEntry_ > MaxCode_) {
    ++Bits_;
    MaxCode_ = Bits_ == 12 ? 4096 : (1 << Bits_) - 1;
  }
}

void TGIFEncoder::ClearBlock(TGIFStream& stream) {
  Table_.Clear();
  FreeEntry_ = kFirstFree;
  ClearFlag_ = true;
  ++ClearCodes_;
  Output(kClearCode, stream);
}

void TGIFEncoder::Compress(std::span<const std::uint8_t> indices, TBytes& out) {
  out.push_back(static_cast<char>(kMinCodeSize));
  TGIFStream stream(out);
  Table_.Clear();
  InitBits_ = kMinCodeSize + 1;
  Bits_ = InitBits_;
  MaxCode_ = (1 << Bits_) - 1;
  FreeEntry_ = kFirstFree;
  ClearFlag_ = false;
  Bucket_ = 0;
  BucketBits_ = 0;
  ClearCodes_ = 0;

  ClearBlock(stream);
  if (!indices.empty()) {
    int prefix = indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
      const int pixel = indices[i];
      const std::uint32_t key = static_cast<std::uint32_t>(prefix) * 256 + pixel;
      const int code = Table_.Find(key);
      if (code >= 0) {
        prefix = code;
        continue;
      }
      Output(prefix, stream);
      prefix = pixel;
      if (FreeEntry_ > kLastCode) {
        ClearBlock(stream);
      } else {
        Table_.Insert(key, FreeEntry_++);
      }
    }
    Output(prefix, stream);
  }
  Output(kEndCode, stream);
  stream.Finish();
}

}  // namespace kestrel
