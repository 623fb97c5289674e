// Opens arbitrary bytes as a PDF and walks every page of it (bounded), the way the
// conversion job does before rendering.
#include <cstddef>
#include <cstdint>

#include "engine/kestrel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kestrel::TKestrel0725 engine;
  std::string_view file(reinterpret_cast<const char*>(data), size);
  kestrel::TSmartPDFLink* handle = engine.OpenDocument(file, "");
  if (!handle) return 0;
  int count = engine.GetPageCount(handle);
  if (count > 64) count = 64;
  for (int n = 1; n <= count; ++n) {
    kestrel::TPDFIndRef* ref = engine.FindPage(handle, n);
    if (ref) {
      handle->Document()->IsPageRef(ref);
      if (auto* page = handle->Document()->PageDictionary(ref)) {
        if (auto* contents = kestrel::As<kestrel::TPDFStream>(page->GetValue("Contents"))) contents->Decode();
      }
    }
  }
  for (int n = 1; n <= 50 && n <= handle->Reader()->HighestObjectNumber(); ++n) handle->Reader()->LoadObject(n);
  return 0;
}
