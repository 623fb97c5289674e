// Runs a stream's whole filter chain: the input is "<< dictionary >>" followed by raw data.
#include <cstddef>
#include <cstdint>

#include "engine/syntax/structure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kestrel::TPDFStructure pool;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t split = text.find("stream");
  std::string_view dictText = text.substr(0, split);
  std::string_view body = split == std::string_view::npos ? std::string_view() : text.substr(split + 6);
  auto* dict = kestrel::As<kestrel::TPDFDictionary>(pool.ParseObject(dictText));
  if (!dict) dict = pool.NewDictionary();
  auto* stream = pool.NewStreamOf(dict, kestrel::TBytes(body));
  kestrel::TBytes decoded = stream->Decode();
  (void)decoded;
  return 0;
}
