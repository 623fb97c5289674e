#pragma once
// The scan that rebuilds the cross-reference data of a damaged file: one pass over the bytes
// for object headers ("N G obj"), "trailer" keywords and the objects whose dictionaries name
// a cross-reference stream or an object stream. Nothing is parsed here.
#include <cstdint>
#include <vector>

#include "engine/syntax/bytes.h"

namespace kestrel {

struct TScannedObject {
  int32_t Number = 0;
  int32_t Generation = 0;
  int64_t Offset = 0;  // of the object number's first digit
  // What the start of the object's dictionary names.
  bool XRefStream = false;
  bool ObjectStream = false;
};

struct TXRefScan {
  // Every object header, in file order (a later header of the same number redefines it).
  std::vector<TScannedObject> Objects;
  // Offsets of the "trailer" keywords, in file order.
  std::vector<int64_t> Trailers;
  // Per object number, the index in Objects of its last header; -1 when none was found.
  std::vector<int64_t> Last;
};

// Reads the "N G" right before the keyword "obj" at `at`: false when the bytes before it are
// not an object header. `start` is where N begins.
bool ObjectHeaderBefore(TByteView s, std::size_t at, int64_t& number, int64_t& generation,
                        std::size_t& start);

// Scans `source` once. Headers beyond `maxObjects`, and numbers above `maxNumber`, are left
// out so that memory stays bounded whatever the bytes hold.
TXRefScan ScanForObjects(TByteView source, int32_t maxNumber, std::size_t maxObjects);

}  // namespace kestrel
