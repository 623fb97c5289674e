#include "engine/render/colour/colour_cie.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>

#include "engine/render/colour/colour_manager.h"
#include "engine/syntax/objects.h"

namespace kestrel {

namespace {

struct TProfileCloser {
  void operator()(void* p) const { cmsCloseProfile(p); }
};
using TProfile = std::unique_ptr<void, TProfileCloser>;

struct TTransformDeleter {
  void operator()(void* t) const { cmsDeleteTransform(t); }
};
using TTransform = std::unique_ptr<void, TTransformDeleter>;

struct TCurveDeleter {
  void operator()(cmsToneCurve* c) const { cmsFreeToneCurve(c); }
};
using TCurve = std::unique_ptr<cmsToneCurve, TCurveDeleter>;

constexpr int kIntents = 4;

// Black point compensation, as viewers convert for the screen, except where the intent asks
// for absolute colours.
cmsUInt32Number FlagsFor(int intent) {
  return intent == INTENT_ABSOLUTE_COLORIMETRIC ? 0 : cmsFLAGS_BLACKPOINTCOMPENSATION;
}

cmsUInt32Number FormatOf(int components, bool bytes) {
  switch (components) {
    case 1: return bytes ? TYPE_GRAY_8 : TYPE_GRAY_DBL;
    case 3: return bytes ? TYPE_RGB_8 : TYPE_RGB_DBL;
    default: return bytes ? TYPE_CMYK_8 : TYPE_CMYK_DBL;
  }
}

int ComponentsOf(cmsColorSpaceSignature space) {
  switch (space) {
    case cmsSigGrayData: return 1;
    case cmsSigRgbData: return 3;
    case cmsSigCmykData: return 4;
    default: return 0;
  }
}

// Up to `count` finite numbers of an array entry; false when there are fewer.
bool Numbers(const TPDFDictionary& dict, TByteView key, int count, double* out,
             const TPDFCIEColorSpace::TResolver& resolve) {
  auto* array = As<TPDFArray>(resolve(dict.GetValue(key, false)));
  if (!array || array->Count() < count) return false;
  for (int i = 0; i < count; ++i) {
    auto* n = As<TPDFNumeric>(resolve(array->Item(i)));
    if (!n || !std::isfinite(n->Value)) return false;
    out[i] = n->Value;
  }
  return true;
}

cmsCIExyY ToxyY(double x, double y, double z) {
  const cmsCIEXYZ xyz{x, y, z};
  cmsCIExyY out;
  cmsXYZ2xyY(&out, &xyz);
  return out;
}

}  // namespace

// Each made when first asked for, one per rendering intent; colours[relative colorimetric] is
// made at once, so that a profile sRGB cannot be reached from is found unusable early.
struct TPDFCIEColorSpace::Transforms {
  TProfile profile;
  TTransform colours[kIntents];  // components (double) to RGB (double)
  TTransform samples[kIntents];  // 8-bit samples to RGB bytes
  bool coloursTried[kIntents] = {};
  bool samplesTried[kIntents] = {};
};

TPDFCIEColorSpace::TPDFCIEColorSpace(const TPDFObject* source, int components,
                                     TPDFSimpleColorManager& manager,
                                     std::unique_ptr<Transforms> transforms)
    : TPDFSpecialColorSpace(source), components_(components), manager_(manager),
      transforms_(std::move(transforms)) {}

TPDFCIEColorSpace::~TPDFCIEColorSpace() = default;

namespace {

TTransform ToSRGB(void* profile, int components, bool bytes, int intent) {
  TProfile srgb(cmsCreate_sRGBProfile());
  if (!srgb) return nullptr;
  return TTransform(cmsCreateTransform(profile, FormatOf(components, bytes), srgb.get(),
                                       bytes ? TYPE_RGB_8 : TYPE_RGB_DBL,
                                       static_cast<cmsUInt32Number>(intent), FlagsFor(intent)));
}

constexpr int kRelative = INTENT_RELATIVE_COLORIMETRIC;

// The transform for an intent (made when first asked for); the relative colorimetric one
// when the profile has no other.
void* TransformFor(TTransform* transforms, bool* tried, void* profile, int components,
                   bool bytes, int intent) {
  if (!tried[intent]) {
    tried[intent] = true;
    transforms[intent] = ToSRGB(profile, components, bytes, intent);
  }
  if (transforms[intent] || intent == kRelative) return transforms[intent].get();
  return TransformFor(transforms, tried, profile, components, bytes, kRelative);
}

}  // namespace

std::unique_ptr<TPDFCIEColorSpace> TPDFCIEColorSpace::FromProfile(const TPDFObject* source,
                                                                  TByteView bytes,
                                                                  int components,
                                                                  TPDFSimpleColorManager& manager) {
  if (bytes.empty() || bytes.size() > 0xFFFFFFFFu) return nullptr;
  auto t = std::make_unique<Transforms>();
  t->profile.reset(cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size())));
  if (!t->profile || ComponentsOf(cmsGetColorSpace(t->profile.get())) != components) return nullptr;
  if (!TransformFor(t->colours, t->coloursTried, t->profile.get(), components, false, kRelative))
    return nullptr;
  return std::unique_ptr<TPDFCIEColorSpace>(
      new TPDFCIEColorSpace(source, components, manager, std::move(t)));
}

std::unique_ptr<TPDFCIEColorSpace> TPDFCIEColorSpace::FromCalibrated(
    const TPDFObject* source, const TPDFDictionary& dict, int components,
    const TResolver& resolve, TPDFSimpleColorManager& manager) {
  double white[3];
  if (!Numbers(dict, "WhitePoint", 3, white, resolve) || !(white[0] > 0) || !(white[1] > 0) ||
      !(white[2] > 0)) {
    return nullptr;
  }
  const cmsCIExyY whitePoint = ToxyY(white[0], white[1], white[2]);
  // CalGray's Gamma is a number, CalRGB's an array of three.
  double gamma[3] = {1, 1, 1};
  if (components == 1) {
    if (auto* g = As<TPDFNumeric>(resolve(dict.GetValue("Gamma", false)))) gamma[0] = g->Value;
  } else {
    Numbers(dict, "Gamma", 3, gamma, resolve);
  }
  for (double& g : gamma)
    if (!(g > 0) || !std::isfinite(g) || g > 100) g = 1;

  auto t = std::make_unique<Transforms>();
  if (components == 1) {
    TCurve curve(cmsBuildGamma(nullptr, gamma[0]));
    if (!curve) return nullptr;
    t->profile.reset(cmsCreateGrayProfile(&whitePoint, curve.get()));
  } else {
    // The matrix's columns are the primaries' XYZ.
    double m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    Numbers(dict, "Matrix", 9, m, resolve);
    cmsCIExyYTRIPLE primaries{ToxyY(m[0], m[1], m[2]), ToxyY(m[3], m[4], m[5]),
                              ToxyY(m[6], m[7], m[8])};
    for (const cmsCIExyY* p : {&primaries.Red, &primaries.Green, &primaries.Blue})
      if (!std::isfinite(p->x) || !std::isfinite(p->y) || p->y <= 0) return nullptr;
    TCurve r(cmsBuildGamma(nullptr, gamma[0])), g(cmsBuildGamma(nullptr, gamma[1])),
        b(cmsBuildGamma(nullptr, gamma[2]));
    if (!r || !g || !b) return nullptr;
    cmsToneCurve* curves[3] = {r.get(), g.get(), b.get()};
    t->profile.reset(cmsCreateRGBProfile(&whitePoint, &primaries, curves));
  }
  if (!t->profile) return nullptr;
  if (!TransformFor(t->colours, t->coloursTried, t->profile.get(), components, false, kRelative))
    return nullptr;
  return std::unique_ptr<TPDFCIEColorSpace>(
      new TPDFCIEColorSpace(source, components, manager, std::move(t)));
}

void TPDFCIEColorSpace::InitialComponents(std::vector<double>& out) const {
  out.assign(static_cast<std::size_t>(components_), 0.0);
  if (components_ == 4) out[3] = 1;
}

TColorValue TPDFCIEColorSpace::Convert(std::span<const double> values, bool wantText) {
  const int intent = static_cast<int>(manager_.Intent);
  if (wantText == lastText_ && intent == lastIntent_ && values.size() == lastIn_.size() &&
      std::equal(values.begin(), values.end(), lastIn_.begin())) {
    return lastOut_;
  }
  double in[4] = {0, 0, 0, 0};
  for (int i = 0; i < components_ && i < static_cast<int>(values.size()); ++i) {
    const double v = std::isfinite(values[i]) ? std::clamp(values[i], 0.0, 1.0) : 0.0;
    in[i] = components_ == 4 ? v * 100 : v;  // CMYK in percent of ink
  }
  double rgb[3] = {0, 0, 0};
  cmsDoTransform(TransformFor(transforms_->colours, transforms_->coloursTried,
                              transforms_->profile.get(), components_, false, intent),
                 in, rgb, 1);
  lastIn_.assign(values.begin(), values.end());
  lastIntent_ = intent;
  lastText_ = wantText;
  lastOut_ = DeviceRGBColor(manager_, rgb[0], rgb[1], rgb[2], wantText);
  return lastOut_;
}

bool TPDFCIEColorSpace::ConvertRow8(const std::uint8_t* samples, std::size_t count,
                                    std::uint8_t* rgb) {
  void* transform = TransformFor(transforms_->samples, transforms_->samplesTried,
                                 transforms_->profile.get(), components_, true,
                                 static_cast<int>(manager_.Intent));
  if (!transform) return false;
  while (count > 0) {
    const auto n = static_cast<cmsUInt32Number>(std::min<std::size_t>(count, 1u << 20));
    cmsDoTransform(transform, samples, rgb, n);
    samples += std::size_t(n) * components_;
    rgb += std::size_t(n) * 3;
    count -= n;
  }
  return true;
}

}  // namespace kestrel
