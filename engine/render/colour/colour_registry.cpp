#include "engine/render/colour/colour_registry.h"

#include <algorithm>

#include "engine/render/colour/colour_cie.h"
#include "engine/render/colour/colour_indexed.h"
#include "engine/render/colour/colour_lab.h"
#include "engine/render/colour/colour_tint.h"
#include "engine/render/renderer_limits.h"
#include "engine/syntax/decode_budget.h"
#include "engine/syntax/objects.h"
#include "engine/syntax/string_decode.h"

namespace kestrel {

std::optional<TColorSpaceId> DeviceFamilyOfName(TByteView name) {
  if (name == "DeviceGray" || name == "G" || name == "CalGray") return kDeviceGray;
  if (name == "DeviceRGB" || name == "RGB" || name == "CalRGB") return kDeviceRGB;
  if (name == "DeviceCMYK" || name == "CMYK" || name == "CalCMYK") return kDeviceCMYK;
  return std::nullopt;
}

TPDFColorSpaces::TPDFColorSpaces(TPDFSimpleColorManager& manager, TResolver resolver)
    : manager_(manager), resolver_(std::move(resolver)) {}

TPDFColorSpaces::~TPDFColorSpaces() = default;

namespace {

int DeviceIndex(TColorFamily family) {
  switch (family) {
    case TColorFamily::DeviceGray: return 0;
    case TColorFamily::DeviceRGB: return 1;
    case TColorFamily::DeviceCMYK: return 2;
    default: return -1;
  }
}

}  // namespace

void TPDFColorSpaces::SetDefaults(const TPDFDictionary* resources, TPDFObject* outputProfile) {
  for (auto& d : defaults_) d.reset();
  std::optional<TColorSpaceId> found[3];
  // Only a CMYK intent: an RGB one is nearly always sRGB, which DeviceRGB already is.
  if (auto* profile = As<TPDFStream>(Resolve(outputProfile))) {
    const auto* n = As<TPDFNumeric>(Resolve(profile->Dictionary()->GetValue("N", false)));
    if (n && n->AsInteger() == 4) found[2] = FromProfile(profile, *profile, 4);
  }
  const auto* spaces =
      resources ? As<TPDFDictionary>(Resolve(resources->GetValue("ColorSpace", false))) : nullptr;
  const char* names[3] = {"DefaultGray", "DefaultRGB", "DefaultCMYK"};
  const int components[3] = {1, 3, 4};
  for (int i = 0; i < 3 && spaces; ++i) {
    TPDFObject* entry = spaces->GetValue(names[i], false);
    std::optional<TColorSpaceId> id = entry ? FromObject(entry, 1) : std::nullopt;
    if (!id || DeviceIndex(id->Family) >= 0 || id->Family == TColorFamily::Pattern ||
        id->Family == TColorFamily::Indexed || ComponentCount(*id) != components[i]) {
      continue;
    }
    found[i] = id;
  }
  for (int i = 0; i < 3; ++i) defaults_[i] = found[i];
}

TColorSpaceId TPDFColorSpaces::WithDefault(TColorSpaceId id) const {
  const int i = DeviceIndex(id.Family);
  return i >= 0 && id.Handle == 0 && defaults_[i] ? *defaults_[i] : id;
}

TColorSpaceId TPDFColorSpaces::ResolveColorSpace(TByteView operand,
                                                 const TPDFDictionary* resources) {
  if (operand == "/DeviceRGB") return WithDefault(kDeviceRGB);
  if (operand == "/DeviceGray") return WithDefault(kDeviceGray);
  if (operand == "/DeviceCMYK") return WithDefault(kDeviceCMYK);
  const TBytes name = DecodeNameOperand(operand);
  if (resources) {
    const auto* spaces = As<TPDFDictionary>(Resolve(resources->GetValue("ColorSpace", false)));
    if (spaces) {
      if (TPDFObject* entry = spaces->GetValue(name, false)) {
        if (auto id = FromObject(entry)) return *id;
      }
    }
  }
  if (name == "Pattern") {
    if (auto id = BarePattern()) return *id;
  }
  if (operand.starts_with("/")) {
    if (auto id = DeviceFamilyOfName(name)) return WithDefault(*id);
  }
  return kDeviceRGB;
}

std::optional<TColorSpaceId> TPDFColorSpaces::FromObject(TPDFObject* space, int depth) {
  std::optional<TColorSpaceId> id = Lookup(space, depth);
  if (id && depth == 0) return WithDefault(*id);
  return id;
}

std::optional<TColorSpaceId> TPDFColorSpaces::Lookup(TPDFObject* space, int depth) {
  if (depth > limits::kMaxColorSpaceDepth) return std::nullopt;
  TPDFObject* key = space;
  space = Resolve(space);
  if (const auto* name = As<TPDFName>(space)) {
    if (auto id = DeviceFamilyOfName(name->Value)) return id;
    if (name->Value == "Pattern") return BarePattern();
    return std::nullopt;
  }
  if (const auto* array = As<TPDFArray>(space)) return FromArray(key, *array, depth);
  return std::nullopt;
}

std::optional<TColorSpaceId> TPDFColorSpaces::FromArray(TPDFObject* key, const TPDFArray& array,
                                                        int depth) {
  const auto* family = As<TPDFName>(Resolve(array.Item(0)));
  if (!family) return std::nullopt;
  const TBytes& f = family->Value;
  // Object families: a definition met before (the same array object) is the same space.
  const TPDFObject* source = Resolve(key);
  for (std::size_t i = 0; i < spaces_.size(); ++i) {
    if (spaces_[i]->Source() == source)
      return TColorSpaceId{spaces_[i]->Family(), static_cast<uint32_t>(i + 1)};
  }
  const bool unusable = std::find(unusable_.begin(), unusable_.end(), source) != unusable_.end();
  if ((f == "CalGray" || f == "CalRGB") && !unusable) {
    if (const auto* dict = As<TPDFDictionary>(Resolve(array.Item(1)))) {
      if (auto cal = TPDFCIEColorSpace::FromCalibrated(source, *dict, f == "CalGray" ? 1 : 3,
                                                       resolver_, manager_))
        return Register(std::move(cal));
    }
    if (unusable_.size() < limits::kMaxColorSpaces) unusable_.push_back(source);
  }
  if (auto id = DeviceFamilyOfName(f)) return id;
  if (f == "ICCBased") {
    const auto* stream = As<TPDFStream>(Resolve(array.Item(1)));
    if (!stream) return std::nullopt;
    const TPDFDictionary* dict = stream->Dictionary();
    const auto* nObj = As<TPDFNumeric>(Resolve(dict->GetValue("N", false)));
    const int n = nObj ? nObj->AsInteger() : 0;
    if ((n == 1 || n == 3 || n == 4) && !unusable) {
      if (auto id = FromProfile(source, *stream, n)) return id;
    }
    // The alternate serves when it agrees with the profile's component count.
    if (TPDFObject* alt = dict->GetValue("Alternate", false)) {
      if (auto id = FromObject(alt, depth + 1)) {
        if (n == 0 || ComponentCount(*id) == n) return id;
      }
    }
    if (n == 1) return kDeviceGray;
    if (n == 3) return kDeviceRGB;
    if (n == 4) return kDeviceCMYK;
    return std::nullopt;
  }

  if (spaces_.size() >= limits::kMaxColorSpaces) return std::nullopt;

  if (f == "Separation") {
    if (array.Count() < 4) return std::nullopt;
    auto sep = std::make_unique<TPDFSeparationColorSpace>(source, *this);
    sep->Init(array, depth);
    return Register(std::move(sep));
  }
  if (f == "DeviceN") {
    if (array.Count() < 4) return std::nullopt;
    auto devn = std::make_unique<TPDFDeviceNColorSpace>(source, *this);
    devn->Init(array, depth);
    return Register(std::move(devn));
  }
  if (f == "Lab") {
    auto lab = std::make_unique<TPDFLabColorSpace>(source, manager_);
    if (!lab->Parse(array, *this)) return std::nullopt;
    return Register(std::move(lab));
  }
  if (f == "Indexed" || f == "I") {
    if (array.Count() < 4) return std::nullopt;
    auto indexed = std::make_unique<TPDFIndexedColorSpace>(source, *this);
    if (!indexed->Init(array, depth)) return std::nullopt;
    return Register(std::move(indexed));
  }
  if (f == "Pattern") {
    auto pattern = std::make_unique<TPDFPatternColorSpace>(source, *this);
    pattern->Init(&array, depth);
    return Register(std::move(pattern));
  }
  return std::nullopt;
}

std::optional<TColorSpaceId> TPDFColorSpaces::FromProfile(const TPDFObject* source,
                                                          const TPDFStream& stream, int n) {
  for (std::size_t i = 0; i < spaces_.size(); ++i) {
    if (spaces_[i]->Source() == source)
      return TColorSpaceId{spaces_[i]->Family(), static_cast<uint32_t>(i + 1)};
  }
  if (std::find(unusable_.begin(), unusable_.end(), source) != unusable_.end()) return std::nullopt;
  TDecodeBudget budget(limits::kMaxProfileBytes);
  std::unique_ptr<TPDFCIEColorSpace> icc;
  try {
    icc = TPDFCIEColorSpace::FromProfile(source, stream.Decode(&budget), n, manager_);
  } catch (const std::exception&) {
    // A profile that cannot be decoded leaves another space to serve.
  }
  if (icc && !budget.Exhausted()) return Register(std::move(icc));
  if (unusable_.size() < limits::kMaxColorSpaces) unusable_.push_back(source);
  return std::nullopt;
}

std::optional<TColorSpaceId> TPDFColorSpaces::BarePattern() {
  // The Pattern family without a base is one space, kept under a null source.
  for (std::size_t i = 0; i < spaces_.size(); ++i) {
    if (spaces_[i]->Source() == nullptr)
      return TColorSpaceId{TColorFamily::Pattern, static_cast<uint32_t>(i + 1)};
  }
  return Register(std::make_unique<TPDFPatternColorSpace>(nullptr, *this));
}

std::optional<TColorSpaceId> TPDFColorSpaces::Register(
    std::unique_ptr<TPDFSpecialColorSpace> space) {
  if (spaces_.size() >= limits::kMaxColorSpaces) return std::nullopt;
  const TColorFamily family = space->Family();
  spaces_.push_back(std::move(space));
  return TColorSpaceId{family, static_cast<uint32_t>(spaces_.size())};
}

TPDFSpecialColorSpace* TPDFColorSpaces::Find(TColorSpaceId id) const {
  if (id.Handle == 0 || id.Handle > spaces_.size()) return nullptr;
  TPDFSpecialColorSpace* space = spaces_[id.Handle - 1].get();
  return space->Family() == id.Family ? space : nullptr;
}

int TPDFColorSpaces::ComponentCount(TColorSpaceId id) const {
  switch (id.Family) {
    case TColorFamily::DeviceGray: return 1;
    case TColorFamily::DeviceRGB: return 3;
    case TColorFamily::DeviceCMYK: return 4;
    default: break;
  }
  const TPDFSpecialColorSpace* space = Find(id);
  return space ? space->ComponentCount() : 0;
}

void TPDFColorSpaces::InitialComponents(TColorSpaceId id, std::vector<double>& out) const {
  switch (id.Family) {
    case TColorFamily::DeviceGray: out.assign(1, 0.0); return;
    case TColorFamily::DeviceRGB: out.assign(3, 0.0); return;
    case TColorFamily::DeviceCMYK: out = {0.0, 0.0, 0.0, 1.0}; return;
    default: break;
  }
  if (const TPDFSpecialColorSpace* space = Find(id)) space->InitialComponents(out);
  else out.clear();
}

TColorValue TPDFColorSpaces::Convert(TColorSpaceId id, std::span<const double> values,
                                     bool wantText) {
  double padded[limits::kMaxColorComponents] = {};
  const int count = std::min(ComponentCount(id), limits::kMaxColorComponents);
  std::copy_n(values.begin(), std::min<std::size_t>(values.size(), count), padded);
  switch (id.Family) {
    case TColorFamily::DeviceGray: return DeviceGrayColor(manager_, padded[0], wantText);
    case TColorFamily::DeviceRGB:
      return DeviceRGBColor(manager_, padded[0], padded[1], padded[2], wantText);
    case TColorFamily::DeviceCMYK:
      return DeviceCMYKColor(manager_, padded[0], padded[1], padded[2], padded[3], wantText);
    default: break;
  }
  TPDFSpecialColorSpace* space = Find(id);
  if (!space) return DeviceGrayColor(manager_, 0, wantText);
  return space->Convert(std::span<const double>(padded, static_cast<std::size_t>(count)),
                        wantText);
}

}  // namespace kestrel
