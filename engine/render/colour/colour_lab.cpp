#include "engine/render/colour/colour_lab.h"

#include <algorithm>

#include "engine/render/colour/colour_manager.h"
#include "engine/render/colour/colour_registry.h"
#include "engine/syntax/objects.h"

namespace kestrel {

namespace {

// The numbers of an array of exactly `count` numbers (references resolved).
bool ReadNumbers(const TPDFColorSpaces& registry, TPDFObject* obj, std::size_t count,
                 double* out) {
  const auto* array = As<TPDFArray>(registry.Resolve(obj));
  if (!array || array->Count() != static_cast<int>(count)) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const auto* n = As<TPDFNumeric>(registry.Resolve(array->Item(static_cast<int>(i))));
    if (!n) return false;
    out[i] = n->Value;
  }
  return true;
}

}  // namespace

bool TPDFLabColorSpace::Parse(const TPDFArray& array, const TPDFColorSpaces& registry) {
  if (array.Count() < 2) return false;
  const auto* dict = As<TPDFDictionary>(registry.Resolve(array.Item(1)));
  if (!dict) return false;
  double white[3];
  if (ReadNumbers(registry, dict->GetValue("WhitePoint", false), 3, white)) {
    WhiteX = white[0];
    WhiteY = white[1];
    WhiteZ = white[2];
  }
  AMin = -100, AMax = 100, BMin = -100, BMax = 100;
  double range[4];
  if (ReadNumbers(registry, dict->GetValue("Range", false), 4, range)) {
    AMin = range[0], AMax = range[1], BMin = range[2], BMax = range[3];
  }
  return true;
}

void TPDFLabColorSpace::InitialComponents(std::vector<double>& out) const {
  // Zero components, brought into the ranges as any other operand would be.
  out = {0.0, std::clamp(0.0, AMin, std::max(AMin, AMax)), std::clamp(0.0, BMin, std::max(BMin, BMax))};
}

TColorValue TPDFLabColorSpace::Convert(std::span<const double> values, bool wantText) {
  // The space's own white point, when it is a usable one (else the default).
  manager_.SetWhitePoint(WhiteX, WhiteY, WhiteZ);
  manager_.SetLabRange(AMin, AMax, BMin, BMax);
  const TRGB rgb = manager_.LabToRGB(values[0], values[1], values[2]);
  return DeviceRGBColor(manager_, rgb.r, rgb.g, rgb.b, wantText);
}

}  // namespace kestrel
