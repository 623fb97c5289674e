#include "engine/fonts/cmap/cmap_code_map.h"

#include "engine/fonts/cmap/cmap_predefined.h"
#include "engine/fonts/font_collection.h"
#include "engine/syntax/objects.h"

namespace kestrel {

void TCMapCodeMap::StringToCodes(TByteView bytes, std::vector<TPDFCharCode>& codes) const {
  thread_local std::vector<TCharCode> split;
  split.clear();
  m_cmap->Split(bytes, split);
  codes.clear();
  codes.reserve(split.size());
  for (const TCharCode& c : split) codes.push_back({c.Code, c.CID});
}

std::unique_ptr<TPDFCodeMap> LoadEncodingCMap(TPDFFontCollection& fonts, TPDFObject* encoding) {
  std::shared_ptr<const TPDFEncodingCMap> cmap;
  if (auto* name = As<TPDFName>(encoding)) {
    if (name->Value == "Identity-H" || name->Value == "Identity-V") return nullptr;
    cmap = PredefinedCMap(name->Value);
  } else if (auto* stream = As<TPDFStream>(encoding)) {
    // UseCMap names a predefined CMap or holds another stream (one level is followed).
    std::shared_ptr<const TPDFEncodingCMap> parent;
    TPDFObject* use = fonts.Resolve(stream->Dictionary()->GetValue("UseCMap", false));
    if (auto* useName = As<TPDFName>(use)) parent = PredefinedCMap(useName->Value);
    else if (auto* useStream = As<TPDFStream>(use); useStream && useStream != stream)
      parent = TPDFEncodingCMap::Parse(useStream->Decode());
    cmap = TPDFEncodingCMap::Parse(stream->Decode(), std::move(parent));
  }
  if (!cmap) return nullptr;
  return std::make_unique<TCMapCodeMap>(std::move(cmap));
}

}  // namespace kestrel
