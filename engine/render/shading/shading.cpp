#include "engine/render/shading/shading.h"

#include <algorithm>
#include <cmath>

#include "engine/render/colour/colour_registry.h"
#include "engine/render/renderer_limits.h"
#include "engine/render/renderer.h"

namespace kestrel {

namespace {

bool ReadNumbers(TPDFRenderer& r, TPDFObject* obj, std::size_t count, double* out) {
  auto* array = As<TPDFArray>(r.ResolveObject(obj));
  if (!array || array->Count() != static_cast<int>(count)) return false;
  for (std::size_t i = 0; i < count; ++i) {
    auto* n = As<TPDFNumeric>(r.ResolveObject(array->Item(static_cast<int>(i))));
    if (!n || !std::isfinite(n->Value)) return false;
    out[i] = n->Value;
  }
  return true;
}

}  // namespace

std::unique_ptr<TPDFShading> TPDFShading::Load(TPDFObject* object, TPDFRenderer& r) {
  object = r.ResolveObject(object);
  TPDFDictionary* dict = As<TPDFDictionary>(object);
  if (auto* stream = As<TPDFStream>(object)) dict = stream->Dictionary();
  if (!dict) return nullptr;
  auto* type = As<TPDFNumeric>(r.ResolveObject(dict->GetValue("ShadingType", false)));
  if (!type) return nullptr;
  auto s = std::make_unique<TPDFShading>();
  s->Type = type->AsInteger();
  if (s->Type < 1 || s->Type > 7) return nullptr;
  std::optional<TColorSpaceId> space = r.ColorSpaces().FromObject(dict->GetValue("ColorSpace", false));
  if (!space || space->Family == TColorFamily::Pattern) return nullptr;
  s->Space = *space;
  s->Components = r.ColorSpaces().ComponentCount(*space);
  if (s->Components <= 0) return nullptr;

  TPDFObject* fn = r.ResolveObject(dict->GetValue("Function", false));
  if (auto* array = As<TPDFArray>(fn)) {
    for (int i = 0; i < array->Count() && i < limits::kMaxFunctionDimensions; ++i) {
      auto f = CreateFunction(r.ResolveObject(array->Item(i)));
      if (!f) return nullptr;
      s->functions_.push_back(std::move(f));
    }
  } else if (auto f = CreateFunction(fn)) {
    s->functions_.push_back(std::move(f));
  }
  s->HasFunction = !s->functions_.empty();
  if (s->Type >= 4) {
    auto* stream = As<TPDFStream>(object);
    if (!stream) return nullptr;
    const TBytes data = r.DecodeStream(*stream);
    if (!ParseMesh(*s, *dict, data, r)) return nullptr;
  } else if (s->functions_.empty()) {
    return nullptr;
  }

  if (s->Type == 1) {
    ReadNumbers(r, dict->GetValue("Domain", false), 4, s->Domain.data());
    double m[6];
    if (ReadNumbers(r, dict->GetValue("Matrix", false), 6, m))
      s->Matrix = TPDFMatrix{m[0], m[1], m[2], m[3], m[4], m[5]};
  } else if (s->Type <= 3) {
    const std::size_t n = s->Type == 2 ? 4 : 6;
    if (!ReadNumbers(r, dict->GetValue("Coords", false), n, s->Coords.data())) return nullptr;
    double domain[2];
    if (ReadNumbers(r, dict->GetValue("Domain", false), 2, domain)) {
      s->Domain[0] = domain[0];
      s->Domain[1] = domain[1];
    }
    if (auto* extend = As<TPDFArray>(r.ResolveObject(dict->GetValue("Extend", false)))) {
      for (int i = 0; i < 2; ++i) {
        auto* b = As<TPDFBoolean>(r.ResolveObject(extend->Item(i)));
        s->Extend[static_cast<std::size_t>(i)] = b && b->Value;
      }
    }
  }
  double bbox[4];
  if (ReadNumbers(r, dict->GetValue("BBox", false), 4, bbox))
    s->BBox = std::array<double, 4>{std::min(bbox[0], bbox[2]), std::min(bbox[1], bbox[3]),
                                    std::max(bbox[0], bbox[2]), std::max(bbox[1], bbox[3])};
  return s;
}

void TPDFShading::Evaluate(std::span<const double> input, std::vector<double>& components) {
  if (functions_.size() == 1) {
    functions_.front()->Evaluate(input, components);
  } else {
    // One function per component.
    components.clear();
    for (auto& f : functions_) {
      f->Evaluate(input, scratch_);
      components.push_back(scratch_.empty() ? 0.0 : scratch_.front());
    }
  }
  components.resize(static_cast<std::size_t>(Components), 0.0);
}

TPackedColor TPDFShading::MiddleColor(TPDFColorSpaces& spaces) {
  std::vector<double> comps;
  if (Type >= 4) {
    // The middle of the data's t range, or of the first vertex's colour.
    if (HasFunction) {
      const double in[1] = {(TMin + TMax) / 2};
      Evaluate(in, comps);
    } else if (!Triangles.empty()) {
      comps.assign(Triangles.front().V[0].V.begin(), Triangles.front().V[0].V.begin() + Components);
    } else if (!Patches.empty()) {
      comps.assign(Patches.front().C[0][0].begin(), Patches.front().C[0][0].begin() + Components);
    }
  } else if (Type == 1) {
    const double in[2] = {(Domain[0] + Domain[1]) / 2, (Domain[2] + Domain[3]) / 2};
    Evaluate(in, comps);
  } else {
    const double in[1] = {(Domain[0] + Domain[1]) / 2};
    Evaluate(in, comps);
  }
  return spaces.Convert(Space, comps, false).Packed;
}

}  // namespace kestrel
