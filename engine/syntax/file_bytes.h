#pragma once
// TFileBytes: the bytes of an input file, memory-mapped read-only. A file of any size then
// costs address space, not memory: only the pages the parser touches are read, nothing is
// copied and no temporary file is made. One mapping may back several open documents (share
// the pointer); mapping the same file again is cheap too, the page cache is shared.
//
// A file cut short while it is mapped would make a read past its new end raise SIGBUS. Every
// mapping is therefore registered with a bus-error handler (installed once, with the first
// mapping) that puts a page of zeros over the page that faulted and marks the mapping as
// changed: the read goes on with zeros and the reader checks Changed() before it trusts what
// it drew. Bus errors outside the registered mappings keep their previous handling.
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

  // True once a read found the file shorter than when it was mapped: some of what View()
  // gave since then were zeros standing in for bytes that are gone.
  bool Changed() const;

  // What a reader says of a file that Changed().
  static constexpr const char* kChangedReason = "the file changed while it was read";

  struct TSlot;

 private:
  TFileBytes(const void* data, std::size_t size, TSlot* slot) : data_(data), size_(size), slot_(slot) {}
  const void* data_;
  std::size_t size_;
  TSlot* slot_;  // the mapping's entry in the bus-error handler's list; null for an empty file
};

}  // namespace kestrel
