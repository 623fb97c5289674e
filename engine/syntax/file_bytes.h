#pragma once
// TFileBytes: the bytes of an input file, memory-mapped read-only. A file of any size then
// costs address space, not memory: only the pages the parser touches are read, nothing is
// copied and no temporary file is made. One mapping may back several open documents (share
// the pointer); mapping the same file again is cheap too, the page cache is shared.
#include <memory>
#include <string>

#include "engine/syntax/bytes.h"

namespace kestrel {

class TFileBytes {
 public:
  // Why a file could not be mapped.
  enum class TFailure { None, NotFound, Folder, NotRegular, OutOfMemory, Unreadable };

  // The mapped file, or null with `failure` set and `reason` in words ("no such file",
  // "not a regular file (a device, pipe or socket)", "out of memory", the system's error).
  // Devices and pipes are refused: they have no size to map and may never end.
  static std::shared_ptr<const TFileBytes> Map(const std::string& path, TFailure& failure, std::string& reason);

  ~TFileBytes();
  TFileBytes(const TFileBytes&) = delete;
  TFileBytes& operator=(const TFileBytes&) = delete;

  TByteView View() const { return {static_cast<const char*>(data_), size_}; }

 private:
  TFileBytes(const void* data, std::size_t size) : data_(data), size_(size) {}
  const void* data_;
  std::size_t size_;
};

}  // namespace kestrel
