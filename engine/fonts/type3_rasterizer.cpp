#include "engine/fonts/type3_rasterizer.h"

#include <cmath>

namespace kestrel {

void TPDFType3Rasterizer::LoadType3Font(TPDFDictionary& dict, const TResolve& resolve) {
  FontDictionary = &dict;
  if (auto* m = As<TPDFArray>(resolve(dict.GetValue("FontMatrix", false))); m && m->Count() == 6) {
    double v[6] = {FontMatrix.a, FontMatrix.b, FontMatrix.c, FontMatrix.d, FontMatrix.e, FontMatrix.f};
    for (int i = 0; i < 6; ++i) {
      if (auto* n = As<TPDFNumeric>(resolve(m->Item(i))); n && std::isfinite(n->Value)) v[i] = n->Value;
    }
    FontMatrix = {v[0], v[1], v[2], v[3], v[4], v[5]};
  }
  auto* procs = As<TPDFDictionary>(resolve(dict.GetValue("CharProcs", false)));
  if (!procs) return;
  for (const auto& entry : procs->Entries()) {
    if (!entry.first) continue;
    auto* stream = As<TPDFStream>(resolve(entry.second));
    procs_.try_emplace(entry.first->Value, stream);
  }
}

const TPDFStream* TPDFType3Rasterizer::GetCharProc(std::string_view name) const {
  auto it = procs_.find(std::string(name));
  return it == procs_.end() ? nullptr : it->second;
}

}  // namespace kestrel
