// Image XObjects and inline images: decoded by the image decoder (cached per page by object
// and generation number) and drawn at the size they cover on the target.
#include <algorithm>
#include <cmath>

#include "engine/images/image_collection.h"
#include "engine/render/colour/colour_cie.h"
#include "engine/render/colour/colour_lab.h"
#include "engine/render/function/function.h"
#include "engine/render/interpreter/renderer_interpreter.h"
#include "engine/images/inline_image.h"
#include "engine/syntax/structure.h"

namespace kestrel {

namespace {

// An image's colour space as the decoder sees it, converted through the page's colour spaces.
class TRendererImageColors final : public TImageColorConverter {
 public:
  TRendererImageColors(TPDFColorSpaces& spaces, TColorSpaceId id, TRenderingIntent intent)
      : spaces_(spaces), id_(id), intent_(intent) {}

  TImageColorKind Kind() const override {
    switch (id_.Family) {
      case TColorFamily::DeviceGray: return TImageColorKind::Gray;
      case TColorFamily::DeviceRGB: return TImageColorKind::RGB;
      case TColorFamily::DeviceCMYK: return TImageColorKind::CMYK;
      case TColorFamily::Indexed: return TImageColorKind::Indexed;
      case TColorFamily::Lab: return TImageColorKind::Lab;
      default: return TImageColorKind::Other;
    }
  }
  int Components() const override { return spaces_.ComponentCount(id_); }
  void DefaultRange(int index, double& low, double& high) const override {
    low = 0;
    high = 1;
    auto* lab = dynamic_cast<TPDFLabColorSpace*>(spaces_.Find(id_));
    if (!lab) return;
    if (index == 0) high = 100;
    if (index == 1) low = lab->AMin, high = lab->AMax;
    if (index == 2) low = lab->BMin, high = lab->BMax;
  }
  void ToRGB(std::span<const double> values, std::uint8_t rgb[3]) override {
    const TIntentScope scope(spaces_.Manager(), intent_);
    TPackedColor c = 0;
    if (id_.Family == TColorFamily::DeviceCMYK && values.size() >= 4) {
      const TPDFSimpleColorManager& cm = spaces_.Manager();
      c = cm.RGBToColor(cm.CMYKToRGB(values[0], values[1], values[2], values[3]));
    } else {
      c = spaces_.Convert(id_, values, false).Packed;
    }
    rgb[0] = PackedRed(c);
    rgb[1] = PackedGreen(c);
    rgb[2] = PackedBlue(c);
  }

  bool SamplesToRGB(const std::uint8_t* samples, std::size_t count, std::uint8_t* rgb) override {
    const TIntentScope scope(spaces_.Manager(), intent_);
    auto* cie = dynamic_cast<TPDFCIEColorSpace*>(spaces_.Find(id_));
    return cie && cie->ConvertRow8(samples, count, rgb);
  }

 private:
  // The image's intent while its samples convert; the state's again afterwards.
  struct TIntentScope {
    TPDFSimpleColorManager& manager;
    TRenderingIntent before;
    TIntentScope(TPDFSimpleColorManager& m, TRenderingIntent intent) : manager(m), before(m.Intent) {
      m.Intent = intent;
    }
    ~TIntentScope() { manager.Intent = before; }
  };

  TPDFColorSpaces& spaces_;
  TColorSpaceId id_;
  TRenderingIntent intent_;
};

// The identifier the EPS writer embeds an image under: "12.0.R" for an XObject.
std::string ImageIdentifier(const TPDFIndRef* ref, std::size_t inlineOffset) {
  if (!ref) return "Inline" + std::to_string(inlineOffset);
  return std::to_string(ref->RefObjNum) + "." + std::to_string(ref->RefGenNum) + ".R";
}

// An upright (or quarter-turned) picture covers every pixel its rectangle touches, and the
// pixel after an edge that falls exactly on a pixel boundary, as pdftoppm draws pictures.
void SnapToPixels(TPDFPoint& ul, TPDFPoint& ur, TPDFPoint& ll) {
  const bool upright = ul.y == ur.y && ul.x == ll.x;
  const bool turned = ul.x == ur.x && ul.y == ll.y;
  if (!upright && !turned) return;
  const TPDFPoint lr{ur.x + ll.x - ul.x, ur.y + ll.y - ul.y};
  const double minX = std::min({ul.x, ur.x, ll.x, lr.x}), maxX = std::max({ul.x, ur.x, ll.x, lr.x});
  const double minY = std::min({ul.y, ur.y, ll.y, lr.y}), maxY = std::max({ul.y, ur.y, ll.y, lr.y});
  if (!(maxX - minX < 1e9 && maxY - minY < 1e9)) return;
  auto snap = [](double v, double low) { return v == low ? std::floor(v) : std::floor(v) + 1; };
  for (TPDFPoint* p : {&ul, &ur, &ll}) {
    p->x = snap(p->x, minX);
    p->y = snap(p->y, minY);
  }
}

}  // namespace

std::shared_ptr<TPDFImageDecoder> TContentInterpreter::DecodeImage(const TPDFStream& stream,
                                                                   bool inlineImage,
                                                                   TPDFPoint drawnSize) {
  TImageDecodeContext context;
  context.Resolve = [this](TPDFObject* obj) { return r_.ResolveObject(obj); };
  // An image's /Intent (an inline image's /Intent) wins over the state's.
  TRenderingIntent intent = gs_.Intent;
  if (auto* name = As<TPDFName>(r_.ResolveObject(stream.Dictionary()->GetValue("Intent", false))))
    intent = RenderingIntentOf(name->Value);
  context.Colors = [this, inlineImage, intent](TPDFObject* space) -> std::unique_ptr<TImageColorConverter> {
    std::optional<TColorSpaceId> id;
    auto* name = As<TPDFName>(r_.ResolveObject(space));
    if (inlineImage && name && !DeviceFamilyOfName(name->Value) && resources_) {
      // Inline images name spaces of the resources.
      auto* spaces =
          As<TPDFDictionary>(r_.ResolveObject(resources_->GetValue("ColorSpace", false)));
      if (TPDFObject* entry = spaces ? spaces->GetValue(name->Value, false) : nullptr)
        id = r_.ColorSpaces().FromObject(entry);
    }
    if (!id) id = r_.ColorSpaces().FromObject(space);
    if (!id || id->Family == TColorFamily::Pattern) return nullptr;
    return std::make_unique<TRendererImageColors>(r_.ColorSpaces(), *id, intent);
  };
  context.MaxBytes = std::min(limits::kMaxImageBytes, r_.ImageBudget);
  context.Budget = &r_.PageDecodeBudget();
  context.DrawnWidth = drawnSize.x;
  context.DrawnHeight = drawnSize.y;
  const TPDFRenderer::TStreamDecodeScope decoding(r_, stream);
  if (decoding.Skipped()) return nullptr;
  auto decoder = std::make_shared<TPDFImageDecoder>(std::move(context));
  // One image that cannot be decoded is left out; the page goes on.
  std::string problem;
  try {
    if (!decoder->Load(stream)) problem = decoder->Error();
  } catch (const TPDFFunctionError& e) {
    problem = e.Message ? e.Message : "function error";
  } catch (const std::exception& e) {
    problem = e.what();
  }
  if (!problem.empty()) {
    r_.NoteImageProblem("Image skipped: " + problem);
    return nullptr;
  }
  r_.ImageBudget -= std::min(r_.ImageBudget, decoder->EncodedSize());
  return decoder;
}

void TContentInterpreter::DrawImageXObject(const TPDFStream& stream, TPDFIndRef* ref) {
  const TPDFPoint size = DrawnImageSize();
  std::shared_ptr<TPDFImageDecoder> decoder;
  if (ref) decoder = r_.Images.Find(ref->RefObjNum, ref->RefGenNum);
  // A picture decoded at a reduced scale for a smaller drawing is decoded again when drawn
  // larger.
  if (!decoder || decoder->TooSmallFor(size.x, size.y)) {
    decoder = DecodeImage(stream, false, size);
    if (!decoder) return;
    if (ref) r_.Images.Add(ref->RefObjNum, ref->RefGenNum, decoder);
  }
  DrawPicture(*decoder, ImageIdentifier(ref, 0));
}

TPDFPoint TContentInterpreter::DrawnImageSize() const {
  if (eps_) {
    // The unit square of the user space the cm lines have set, at the resolution asked for.
    const TPDFMatrix& m = gs_.EPSMatrix;
    const double scale = r_.Resolution / 72;
    return {std::hypot(m.a, m.b) * scale, std::hypot(m.c, m.d) * scale};
  }
  // The sides of the parallelogram DrawPicture draws over, so that a picture decoded at that
  // size is drawn without being resized again.
  TPDFPoint ul = T(0, 1), ur = T(1, 1), ll = T(0, 0);
  if (r_.StrokeAdjust) SnapToPixels(ul, ur, ll);
  return {std::hypot(ur.x - ul.x, ur.y - ul.y), std::hypot(ll.x - ul.x, ll.y - ul.y)};
}

void TContentInterpreter::DrawInlineImage() {
  auto namedSpace = [this](TByteView name) -> int {
    if (!resources_) return 0;
    auto* spaces = As<TPDFDictionary>(r_.ResolveObject(resources_->GetValue("ColorSpace", false)));
    if (!spaces) return 0;
    TPDFObject* entry = spaces->GetValue(name, false);
    if (!entry) return 0;
    auto id = r_.ColorSpaces().FromObject(entry);
    return id ? r_.ColorSpaces().ComponentCount(*id) : 0;
  };
  const std::size_t at = tokens_.Offset();
  TPDFStructure pool;
  pool.OnResolveRef = [this](TPDFIndRef* ref, std::int32_t, std::int32_t) {
    return r_.ResolveObject(ref);
  };
  const TInlineImage image = ReadInlineImage(tokens_.Text(), at, pool, namedSpace);
  tokens_.SetOffset(image.Next);
  // Like image XObjects, inline images inside optional content that is off are not drawn.
  if (!image.Stream || !Shows()) return;
  if (std::shared_ptr<TPDFImageDecoder> decoder = DecodeImage(*image.Stream, true, DrawnImageSize()))
    DrawPicture(*decoder, ImageIdentifier(nullptr, at));
}

void TContentInterpreter::DrawPicture(TPDFImageDecoder& decoder, const std::string& identifier) {
  const TDecodedPicture& picture = decoder.Picture();
  if (picture.Empty()) return;
  if (eps_) {
    // The picture fills the unit square of the user space the cm lines have set.
    const TPDFPoint size = DrawnImageSize();
    const TImageDrawPlan plan = PlanImageDraw(picture, size.x, size.y);
    const TCanvasBitmap& bitmap = decoder.Bitmap(plan.Width, plan.Height, gs_.FillColor);
    eps_->SaveState();
    eps_->DrawImage(bitmap, nullptr, identifier);
    eps_->RestoreState();
    return;
  }
  TPDFPoint ul = T(0, 1), ur = T(1, 1), ll = T(0, 0);
  if (r_.StrokeAdjust) SnapToPixels(ul, ur, ll);
  const TImageDrawPlan plan = PlanImageDraw(picture, std::hypot(ur.x - ul.x, ur.y - ul.y),
                                            std::hypot(ll.x - ul.x, ll.y - ul.y));
  if (plan.Width <= 0 || plan.Height <= 0) return;
  const TCanvasBitmap& bitmap = decoder.Bitmap(plan.Width, plan.Height, gs_.FillColor);
  if (gs_.FillAlpha < 1) {
    // A constant opacity (ca) applies to pictures as to fills.
    TCanvasBitmap faded = bitmap;
    const double alpha = std::clamp(gs_.FillAlpha, 0.0, 1.0);
    for (std::uint32_t& p : faded.Pixels)
      p = (p & 0xFFFFFFu) |
          (static_cast<std::uint32_t>(std::lround((p >> 24) * alpha)) << 24);
    canvas_.DrawBitmap(faded, ul.x, ul.y, ur.x, ur.y, ll.x, ll.y, plan.Sampling);
    return;
  }
  canvas_.DrawBitmap(bitmap, ul.x, ul.y, ur.x, ur.y, ll.x, ll.y, plan.Sampling);
}

}  // namespace kestrel
