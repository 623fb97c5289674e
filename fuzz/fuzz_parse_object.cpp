// Parses arbitrary bytes as an object, writes it back and parses the text again.
#include <cstddef>
#include <cstdint>

#include "engine/syntax/structure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kestrel::TPDFStructure pool;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t consumed = 0;
  kestrel::TPDFObject* obj = pool.ParseObjectAt(text, consumed);
  if (consumed > size) __builtin_trap();
  kestrel::TBytes written = obj->ToText();
  pool.ParseObject(written);
  kestrel::TPDFStructure::DecodeLiteralString(text);
  kestrel::TPDFStructure::DecodeHexString(text);
  return 0;
}
