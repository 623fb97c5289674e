#pragma once
#include <cstdint>
#include <string>

#include "engine/syntax/bytes.h"

namespace kestrel {

// The bytes of `source` from max(pos, 0), at most `len` of them; empty past the end.
TByteView ReadWindow(TByteView source, int64_t pos, int64_t len);

// Finds the offset written after the last "startxref" of a file.
class TPDFXRefReader {
 public:
  explicit TPDFXRefReader(TByteView source) : source_(source) {}
  // The offset, or 0 when the file has no "%%EOF", no "startxref" or no positive number.
  int64_t FindStartXRef() const;

 private:
  TByteView Read(int64_t pos, int64_t len) const { return ReadWindow(source_, pos, len); }
  TByteView source_;
};

// Checks for a "%PDF-" header in the first 1024 bytes and takes the version after it.
// `position` receives where the header starts.
bool CheckPDFHeader(TByteView source, std::string& version, std::size_t* position = nullptr);

}  // namespace kestrel
