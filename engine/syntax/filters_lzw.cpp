// LZW decoding as PDF uses it: MSB-first codes of 9 to 12 bits, clear code 256,
// end-of-data 257, optional early change of the code width.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/syntax/filters.h"
#include "engine/syntax/filters_internal.h"
#include "engine/syntax/limits.h"

namespace kestrel {
namespace {

constexpr unsigned kClearCode = 256;
constexpr unsigned kEndCode = 257;
constexpr unsigned kFirstFreeCode = 258;
constexpr unsigned kTableSize = 4096;
constexpr unsigned kMinWidth = 9;
constexpr unsigned kMaxWidth = 12;

class TLZWDecompressor {
 public:
  TLZWDecompressor(TByteView input, bool earlyChange, std::size_t maxOut)
      : input_(input), early_(earlyChange ? 1u : 0u), maxOut_(maxOut) {
    for (unsigned c = 0; c < 256; ++c) {
      suffix_[c] = static_cast<std::uint8_t>(c);
      first_[c] = static_cast<std::uint8_t>(c);
      length_[c] = 1;
      prefix_[c] = 0;
    }
  }

  TBytes Run() {
    // The output grows as it is produced: a first guess from the input's size could reserve
    // hundreds of megabytes for input that turns out to decode to nothing.
    constexpr std::size_t kFirstGuessCap = std::size_t{1} << 20;
    out_.resize(std::min({std::max<std::size_t>(input_.size() * 2, 4096), kFirstGuessCap, maxOut_}));
    DecodeUntil(maxOut_);
    out_.resize(outPos_);
    return std::move(out_);
  }

  // Decodes codes until the buffer holds `want` bytes or the data ends.
  void DecodeUntil(std::size_t want) {
    while (!ended_ && outPos_ < want) {
      const unsigned code = ReadCode();
      if (code == kEndCode) break;
      if (code == kClearCode) {
        ResetTable();
        havePrevious_ = false;
        continue;
      }
      if (!havePrevious_) {
        // The first code after a clear has no predecessor; only a literal can stand here.
        if (code >= nextCode_) continue;
        if (!Emit(code)) break;
        previous_ = code;
        havePrevious_ = true;
        continue;
      }
      bool written;
      std::uint8_t firstByte;
      if (code < nextCode_) {
        written = Emit(code);
        firstByte = first_[code];
      } else {
        // The code being defined right now (or an invalid one, read the same way):
        // previous string plus its own first byte.
        firstByte = first_[previous_];
        written = EmitPreviousPlus(previous_, firstByte);
      }
      AddEntry(previous_, firstByte);
      if (!written) break;
      previous_ = code < nextCode_ ? code : nextCode_ - 1;
    }
    if (outPos_ < want) ended_ = true;
  }

  // Moves up to `n` decoded bytes from the front of the buffer to `to`, for a reader that
  // takes the output a piece at a time; returns how many.
  std::size_t Take(char* to, std::size_t n) {
    n = std::min(n, outPos_ - taken_);
    std::memcpy(to, out_.data() + taken_, n);
    taken_ += n;
    if (taken_ == outPos_) {
      // Emptied: later strings are written from the start again.
      flushed_ += outPos_;
      outPos_ = taken_ = 0;
    }
    return n;
  }
  bool Ended() const { return ended_; }

 private:
  void ResetTable() {
    width_ = kMinWidth;
    nextCode_ = kFirstFreeCode;
  }

  // Next code, or end-of-data when fewer bits remain than the current width needs.
  unsigned ReadCode() {
    while (bitCount_ < width_) {
      if (bytePos_ >= input_.size()) return kEndCode;
      bitBuffer_ = (bitBuffer_ << 8) | static_cast<std::uint8_t>(input_[bytePos_++]);
      bitCount_ += 8;
    }
    bitCount_ -= width_;
    return static_cast<unsigned>(bitBuffer_ >> bitCount_) & ((1u << width_) - 1);
  }

  // Once the table is full it stays frozen until a clear code, as encoders that do not
  // clear expect; the width never passes 12 bits.
  void AddEntry(unsigned previous, std::uint8_t byte) {
    if (nextCode_ >= kTableSize) return;
    prefix_[nextCode_] = static_cast<std::uint16_t>(previous);
    suffix_[nextCode_] = byte;
    first_[nextCode_] = first_[previous];
    length_[nextCode_] = length_[previous] + 1;
    ++nextCode_;
    if (nextCode_ + early_ >= (1u << width_) && width_ < kMaxWidth) ++width_;
  }

  // Reserve room for n bytes; false (after shrinking n) when the output cap cuts in.
  bool Reserve(std::size_t& n) {
    bool fits = true;
    const std::size_t left = maxOut_ - flushed_ - outPos_;
    if (n > left) {
      n = left;
      fits = false;
    }
    if (outPos_ + n > out_.size()) {
      const std::size_t doubled = out_.size() > maxOut_ / 2 ? maxOut_ : std::max<std::size_t>(out_.size() * 2, 4096);
      out_.resize(std::max(doubled, outPos_ + n));
    }
    return fits;
  }

  // Writes the string of `code` (walking its prefix chain backwards); false when capped.
  bool Emit(unsigned code) {
    std::size_t n = length_[code];
    if (!Reserve(n)) {
      WriteCut(code, n);
      return false;
    }
    WriteString(code, reinterpret_cast<std::uint8_t*>(out_.data()) + outPos_ + n);
    outPos_ += n;
    return true;
  }

  bool EmitPreviousPlus(unsigned previous, std::uint8_t byte) {
    std::size_t n = std::size_t{length_[previous]} + 1;
    if (!Reserve(n)) {
      WriteCut(previous, n);  // the extra byte lies past the cut anyway
      return false;
    }
    std::uint8_t* end = reinterpret_cast<std::uint8_t*>(out_.data()) + outPos_ + n;
    end[-1] = byte;
    WriteString(previous, end - 1);
    outPos_ += n;
    return true;
  }

  void WriteString(unsigned code, std::uint8_t* end) const {
    while (code >= 256) {
      *--end = suffix_[code];
      code = prefix_[code];
    }
    *--end = static_cast<std::uint8_t>(code);
  }

  // Only the first n bytes of the string fit below the cap.
  void WriteCut(unsigned code, std::size_t n) {
    std::array<std::uint8_t, kTableSize + 1> scratch{};
    const std::size_t len = length_[code];
    WriteString(code, scratch.data() + len);
    std::memcpy(out_.data() + outPos_, scratch.data(), std::min(n, len));
    outPos_ += std::min(n, len);
  }

  TByteView input_;
  unsigned early_;
  std::size_t maxOut_;

  std::size_t bytePos_ = 0;
  std::uint64_t bitBuffer_ = 0;
  unsigned bitCount_ = 0;
  unsigned width_ = kMinWidth;
  unsigned nextCode_ = kFirstFreeCode;

  std::array<std::uint16_t, kTableSize> prefix_{};
  std::array<std::uint8_t, kTableSize> suffix_{};
  std::array<std::uint8_t, kTableSize> first_{};
  std::array<std::uint16_t, kTableSize> length_{};

  bool havePrevious_ = false;
  unsigned previous_ = 0;
  bool ended_ = false;

  TBytes out_;
  std::size_t outPos_ = 0;
  std::size_t taken_ = 0;    // bytes of out_ a reader has taken
  std::size_t flushed_ = 0;  // bytes taken before out_ was last emptied
};

class TLZWSource final : public TByteSource {
 public:
  TLZWSource(TByteView data, bool earlyChange, std::size_t maxOut)
      : lzw_(std::make_unique<TLZWDecompressor>(data, earlyChange, maxOut)) {}

  std::size_t Read(std::span<char> out) override {
    constexpr std::size_t kPiece = 64 * 1024;
    std::size_t got = 0;
    while (got < out.size()) {
      got += lzw_->Take(out.data() + got, out.size() - got);
      if (got == out.size() || lzw_->Ended()) break;
      lzw_->DecodeUntil(kPiece);
    }
    return got;
  }

 private:
  std::unique_ptr<TLZWDecompressor> lzw_;  // its tables are 16 KB: kept off the stack
};

}  // namespace

namespace filters_detail {

TBytes DecodeLZW(TByteView data, bool earlyChange, std::size_t maxOut) {
  return TLZWDecompressor(data, earlyChange, maxOut).Run();
}

std::unique_ptr<TByteSource> LZWSource(TByteView data, bool earlyChange, std::size_t maxOut) {
  return std::make_unique<TLZWSource>(data, earlyChange, maxOut);
}

}  // namespace filters_detail

TBytes DecodeLZW(TByteView data, const TPDFLZWParms& parms, bool earlyChange) {
  TBytes out = filters_detail::DecodeLZW(data, earlyChange, limits::kMaxDecodedStreamBytes);
  if (parms.Predictor == 2 || parms.Predictor >= 10) return ApplyPredictor(std::move(out), parms);
  return out;
}

}  // namespace kestrel
