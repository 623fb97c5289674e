#include "engine/render/colour/colour_indexed.h"

#include <algorithm>
#include <cmath>

#include "engine/render/colour/colour_lab.h"
#include "engine/render/colour/colour_registry.h"
#include "engine/syntax/objects.h"

namespace kestrel {

bool TPDFIndexedColorSpace::Init(const TPDFArray& array, int depth) {
  std::optional<TColorSpaceId> base = registry_.FromObject(array.Item(1), depth + 1);
  if (!base || base->Family == TColorFamily::Indexed || base->Family == TColorFamily::Pattern)
    return false;
  Base = *base;
  baseComponents_ = std::max(1, registry_.ComponentCount(Base));
  HighestIndex = 255;
  if (const auto* n = As<TPDFNumeric>(registry_.Resolve(array.Item(2))))
    HighestIndex = std::clamp(n->AsInteger(), 0, 255);
  TPDFObject* lookup = registry_.Resolve(array.Item(3));
  if (const auto* s = As<TPDFString>(lookup)) {
    Lookup = s->Value;
  } else if (const auto* stream = As<TPDFStream>(lookup)) {
    Lookup = stream->Decode();
  }
  Lookup.resize(static_cast<std::size_t>(HighestIndex + 1) * baseComponents_, '\0');
  cache_.assign(static_cast<std::size_t>(HighestIndex + 1), std::nullopt);
  return true;
}

void TPDFIndexedColorSpace::EntryComponents(int index, std::vector<double>& out) const {
  index = std::clamp(index, 0, HighestIndex);
  out.resize(static_cast<std::size_t>(baseComponents_));
  const auto* lab = Base.Family == TColorFamily::Lab
                        ? dynamic_cast<const TPDFLabColorSpace*>(registry_.Find(Base))
                        : nullptr;
  for (int j = 0; j < baseComponents_; ++j) {
    const double byte = static_cast<unsigned char>(
        Lookup[static_cast<std::size_t>(index) * baseComponents_ + j]);
    double v = byte / 255.0;
    if (lab) {
      // Palette bytes span each Lab component's range.
      if (j == 0) v *= 100;
      else if (j == 1) v = lab->AMin + v * (lab->AMax - lab->AMin);
      else v = lab->BMin + v * (lab->BMax - lab->BMin);
    }
    out[static_cast<std::size_t>(j)] = v;
  }
}

TColorValue TPDFIndexedColorSpace::Convert(std::span<const double> values, bool wantText) {
  const double v = values[0];
  const int index = std::isnan(v) ? 0
                                  : static_cast<int>(std::nearbyint(
                                        std::clamp(v, 0.0, static_cast<double>(HighestIndex))));
  auto& slot = cache_[static_cast<std::size_t>(index)];
  if (!slot) {
    std::vector<double> comps;
    EntryComponents(index, comps);
    slot = registry_.Convert(Base, comps, wantText);
  }
  return *slot;
}

void TPDFPatternColorSpace::Init(const TPDFArray* array, int depth) {
  if (!array || array->Count() < 2) return;
  Base = registry_.FromObject(array->Item(1), depth + 1);
  if (Base && (Base->Family == TColorFamily::Pattern)) Base.reset();
}

int TPDFPatternColorSpace::ComponentCount() const {
  return Base ? registry_.ComponentCount(*Base) : 0;
}

void TPDFPatternColorSpace::InitialComponents(std::vector<double>& out) const {
  if (Base) registry_.InitialComponents(*Base, out);
  else out.clear();
}

TColorValue TPDFPatternColorSpace::Convert(std::span<const double> values, bool wantText) {
  if (Base) return registry_.Convert(*Base, values, wantText);
  return DeviceGrayColor(registry_.Manager(), 0, wantText);
}

}  // namespace kestrel
