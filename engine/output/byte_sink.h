#pragma once
// TByteSink: where a page's file is written. Encoders that make the file as they read the rows
// (BMP, TIFF) write each part as soon as it is made, so a page's file is never held whole in
// memory when the sink is a file: an A4 page at 2400 dpi is 1.6 GB of BMP. TBytesSink keeps the
// file in memory, for callers that want the bytes.
#include <cstdint>

#include "engine/syntax/bytes.h"

namespace kestrel {

class TByteSink {
 public:
  virtual ~TByteSink() = default;
  // Writes `bytes` at the position, which then moves past them. False when the bytes could not
  // be written; the file is then unusable and the encoder gives up.
  virtual bool Write(TByteView bytes) = 0;
  // Moves the position (from the start of the file) for a part written again later, such as
  // the TIFF header's pointer to its directory. A position past the end leaves zeros between.
  virtual bool Seek(std::uint64_t position) = 0;
  virtual std::uint64_t Position() const = 0;
  // The bytes the file holds so far.
  virtual std::uint64_t Size() const = 0;
  // Forgets all that was written: the page has no file (an encoder failed part way).
  virtual void Discard() = 0;
  // The size the file will have, when the encoder knows it before it starts.
  virtual void Expect(std::uint64_t /*size*/) {}
};

// Appends the file to a string, after what the string already holds.
class TBytesSink final : public TByteSink {
 public:
  explicit TBytesSink(TBytes& out) : out_(out), start_(out.size()) {}

  bool Write(TByteView bytes) override {
    const std::size_t at = start_ + position_;
    if (at + bytes.size() > out_.size()) out_.resize(at + bytes.size());
    out_.replace(at, bytes.size(), bytes);
    position_ += bytes.size();
    return true;
  }
  bool Seek(std::uint64_t position) override {
    position_ = static_cast<std::size_t>(position);
    return position_ == position;
  }
  std::uint64_t Position() const override { return position_; }
  std::uint64_t Size() const override { return out_.size() - start_; }
  void Discard() override {
    out_.resize(start_);
    position_ = 0;
  }
  void Expect(std::uint64_t size) override {
    if (size <= out_.max_size() - start_) out_.reserve(start_ + static_cast<std::size_t>(size));
  }

 private:
  TBytes& out_;
  std::size_t start_;
  std::size_t position_ = 0;
};

}  // namespace kestrel
