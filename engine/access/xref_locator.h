#pragma once
#include <cstdint>
#include <string>

#include "engine/syntax/bytes.h"

namespace kestrel {

// Finds the offset written after the last "startxref" of a file.
class TPDFXRefReader {
 public:
  explicit TPDFXRefReader(TByteView source) : source_(source) {}
  // The offset, or 0 when the file has no "%%EOF", no "startxref" or no positive number.
  int64_t FindStartXRef() const;

 private:
  TByteView Read(int64_t pos, int64_t len) const;
  TByteView source_;
};

// Checks for a "%PDF-" header in the first 1024 bytes and takes the version after it.
// `position` receives where the header starts.
bool CheckPDFHeader(TByteView source, std::string& version, std::size_t* position = nullptr);

}  // namespace kestrel
