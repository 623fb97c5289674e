#include "engine/render/colour/colour_tint.h"

#include <algorithm>

#include "engine/render/colour/colour_registry.h"
#include "engine/render/renderer_limits.h"
#include "engine/syntax/objects.h"

namespace kestrel {

void TTintTransform::Load(TPDFObject* obj, const TPDFColorSpaces& registry) {
  functions_.clear();
  obj = registry.Resolve(obj);
  if (const auto* array = As<TPDFArray>(obj)) {
    // One function per output, each taking the tint.
    for (int i = 0; i < array->Count() && i < limits::kMaxFunctionDimensions; ++i) {
      auto f = CreateFunction(registry.Resolve(array->Item(i)));
      if (!f) {
        functions_.clear();
        return;
      }
      functions_.push_back(std::move(f));
    }
    return;
  }
  if (auto f = CreateFunction(obj)) functions_.push_back(std::move(f));
}

int TTintTransform::InputCount() const {
  return functions_.empty() ? 0 : functions_.front()->InputCount();
}

void TTintTransform::Evaluate(std::span<const double> inputs, std::vector<double>& outputs) {
  if (functions_.size() == 1) {
    functions_.front()->Evaluate(inputs, outputs);
    return;
  }
  outputs.clear();
  for (auto& f : functions_) {
    f->Evaluate(inputs, scratch_);
    outputs.push_back(scratch_.empty() ? 0.0 : scratch_.front());
  }
}

void TPDFTintColorSpace::InitialComponents(std::vector<double>& out) const {
  // Every colorant at full strength.
  out.assign(static_cast<std::size_t>(ComponentCount()), 1.0);
}

void TPDFTintColorSpace::ReadAlternateAndTransform(const TPDFArray& array, int depth) {
  Alternate = registry_.FromObject(array.Item(2), depth + 1);
  // An alternate that is itself a tint or palette space is not allowed; treat it as unusable.
  if (Alternate && (Alternate->Family == TColorFamily::Indexed ||
                    Alternate->Family == TColorFamily::Pattern)) {
    Alternate.reset();
  }
  Transform.Load(array.Item(3), registry_);
}

TColorValue TPDFTintColorSpace::Tint(std::span<const double> tints, bool wantText,
                                     const std::string& names) {
  TColorValue black{0, "0.5 setgray"};
  if (!Alternate || !Transform.Usable() ||
      Transform.InputCount() != static_cast<int>(tints.size())) {
    return black;
  }
  Transform.Evaluate(tints, outputs_);
  const int need = registry_.ComponentCount(*Alternate);
  // A transform that yields fewer values leaves the rest at 0.
  outputs_.resize(static_cast<std::size_t>(std::max(need, 0)), 0.0);
  TColorValue value = registry_.Convert(*Alternate, outputs_, wantText);
  if (wantText && Alternate->Family == TColorFamily::DeviceCMYK) {
    // The colorant as a custom colour: its full-strength CMYK equivalent and the tints.
    std::vector<double> full(tints.begin(), tints.end());
    full[0] = 1;
    Transform.Evaluate(full, outputs_);
    outputs_.resize(4, 0.0);
    std::string text;
    for (double v : outputs_) AppendColorNumber(text, v);
    text += "(" + names + ") findcmykcustomcolor ";
    for (double t : tints) AppendColorNumber(text, t);
    text += "setcustomcolor";
    value.PostScript = std::move(text);
  }
  return value;
}

void TPDFSeparationColorSpace::Init(const TPDFArray& array, int depth) {
  if (const auto* name = As<TPDFName>(registry_.Resolve(array.Item(1)))) Colorant = name->Value;
  ReadAlternateAndTransform(array, depth);
}

TColorValue TPDFSeparationColorSpace::Convert(std::span<const double> values, bool wantText) {
  const double t = values[0];
  for (const auto& [tint, value] : cache_)
    if (tint == t) return value;
  ++evaluations_;
  // The target kind is fixed for a rendering, so every cached entry has the text it needs.
  TColorValue value = Tint(values.first(1), wantText, Colorant);
  if (cache_.size() >= limits::kMaxTintCacheEntries) cache_.clear();
  cache_.emplace_back(t, value);
  return value;
}

const TColorValue& TPDFSeparationColorSpace::SetTint(double t, bool wantText) {
  const double v[1] = {t};
  current_ = Convert(v, wantText);
  return current_;
}

const TColorValue& TPDFDeviceNColorSpace::SetComponents(std::span<const double> values,
                                                        bool wantText) {
  std::vector<double> padded(values.begin(), values.end());
  padded.resize(static_cast<std::size_t>(colorants_), 0.0);
  current_ = Convert(padded, wantText);
  return current_;
}

void TPDFDeviceNColorSpace::Init(const TPDFArray& array, int depth) {
  Names = "[";
  colorants_ = 0;
  if (const auto* names = As<TPDFArray>(registry_.Resolve(array.Item(1)))) {
    for (int i = 0; i < names->Count(); ++i) {
      if (i) Names += ',';
      if (const auto* n = As<TPDFName>(registry_.Resolve(names->Item(i)))) Names += n->Value;
    }
    colorants_ = std::min(names->Count(), limits::kMaxFunctionDimensions);
  }
  Names += ']';
  if (colorants_ == 0) colorants_ = 1;  // still pops one operand, and paints black
  ReadAlternateAndTransform(array, depth);
}

TColorValue TPDFDeviceNColorSpace::Convert(std::span<const double> values, bool wantText) {
  std::vector<double> key(values.begin(), values.end());
  if (auto it = cache_.find(key); it != cache_.end()) return it->second;
  TColorValue value = Tint(values, wantText, Names);
  if (cache_.size() >= limits::kMaxTintCacheEntries) cache_.clear();
  cache_.emplace(std::move(key), value);
  return value;
}

}  // namespace kestrel
