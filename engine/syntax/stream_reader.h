#pragma once
// A stream's decoded data read piece by piece, for data too large to hold whole (the image of
// a scanned page is read a row at a time into the size it is drawn at).
#include <cstddef>
#include <memory>
#include <span>

namespace kestrel {

class TPDFStream;
class TDecodeBudget;

// Bytes read in order. Read fills `out` unless the data ends first; after a short read every
// later one gives nothing.
class TByteSource {
 public:
  virtual ~TByteSource() = default;
  virtual std::size_t Read(std::span<char> out) = 0;
};

// The stream's decoded data as TPDFStream::Decode would give it, charged to `budget` as it is
// read and cut where Decode would cut it. Null for a chain read only whole: the reader follows
// no filter, or one Flate or LZW filter (with its predictor) after any other general filters,
// which are decoded whole first (an ASCII85 wrapper is small beside what it inflates to).
std::unique_ptr<TByteSource> OpenStreamReader(const TPDFStream& stream, TDecodeBudget* budget);

}  // namespace kestrel
