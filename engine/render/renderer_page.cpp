// Page set-up: page box, rotation, target size and the page matrix.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/graphics/graphics_limits.h"
#include "engine/render/renderer.h"

namespace kestrel {

namespace {

struct TBox4 {
  double llx, lly, urx, ury;
};

// A box array whose first four elements are finite numbers, normalised.
std::optional<TBox4> ReadBox(TPDFRenderer& r, TPDFObject* obj) {
  auto* array = As<TPDFArray>(obj);
  if (!array || array->Count() < 4) return std::nullopt;
  double v[4];
  for (int i = 0; i < 4; ++i) {
    auto* n = As<TPDFNumeric>(r.ResolveObject(array->Item(i)));
    if (!n || !std::isfinite(n->Value)) return std::nullopt;
    v[i] = n->Value;
  }
  TBox4 b{v[0], v[1], v[2], v[3]};
  if (b.llx > b.urx) std::swap(b.llx, b.urx);
  if (b.lly > b.ury) std::swap(b.lly, b.ury);
  return b;
}

// The ceiling of points × dpi / 72, saturated far above any acceptable size.
std::int64_t PixelExtent(double points, double dpi) {
  const double exact = points * dpi / limits::kPointsPerInch;
  if (!(exact > -1e12 && exact < 1e12)) return exact < 0 ? -1 : std::int64_t{1} << 40;
  auto n = static_cast<std::int64_t>(std::nearbyint(exact));
  if (static_cast<double>(n) * limits::kPointsPerInch < points * dpi) ++n;
  return n;
}

}  // namespace

// While a page is interpreted its budgets come from the document's (when there is one), and
// what the page spent is charged back to it afterwards.
class TPageBudgetScope {
 public:
  explicit TPageBudgetScope(TPDFRenderer& r) : r_(r) {
    if (!r_.DocumentBudget) return;
    const TDocumentBudget::TAmounts page{r_.decodeBudget_.Left(), r_.TokenBudget, r_.FormInvocationLimit};
    granted_ = r_.DocumentBudget->Allowance(page);
    r_.decodeBudget_ = TDecodeBudget(granted_.DecodedBytes);
    r_.decodeAllowance_ = granted_.DecodedBytes;
    r_.decodeLimitedByDocument_ = granted_.DecodedBytes < page.DecodedBytes;
    r_.repeatDecodedBytes_ = 0;
    tokensLimited_ = granted_.Tokens < page.Tokens;
    r_.TokenBudget = granted_.Tokens;
    r_.FormInvocationLimit = granted_.FormInvocations;
    formsBefore_ = r_.FormInvocations;
  }
  ~TPageBudgetScope() {
    if (!r_.DocumentBudget) return;
    if (tokensLimited_ && r_.TokenBudget == 0)
      r_.AddPageNote("the document has run as many operations as its budget allows: the page was cut short");
    // What repeats an earlier page's decoding is charged at a share of its bytes.
    const std::size_t decoded = granted_.DecodedBytes - std::min(granted_.DecodedBytes, r_.decodeBudget_.Left());
    const std::size_t repeated = std::min(decoded, r_.repeatDecodedBytes_);
    r_.DocumentBudget->Spend({decoded - repeated + repeated / limits::kRepeatDecodeShare,
                              granted_.Tokens - std::min(granted_.Tokens, r_.TokenBudget),
                              r_.FormInvocations - std::min(r_.FormInvocations, formsBefore_)});
  }
  TPageBudgetScope(const TPageBudgetScope&) = delete;
  TPageBudgetScope& operator=(const TPageBudgetScope&) = delete;

 private:
  TPDFRenderer& r_;
  TDocumentBudget::TAmounts granted_;
  bool tokensLimited_ = false;
  std::size_t formsBefore_ = 0;
};

TPageGeometry TPDFRenderer::PageGeometry() {
  TPageGeometry g;
  const double dpi = Resolution == 0 ? 1 : Resolution;

  std::optional<TBox4> media = ReadBox(*this, LookupInherited(PageDictionary, "MediaBox"));
  // A box shows what lies within the media box too.
  auto withinMedia = [&](std::optional<TBox4> box) {
    if (box && media) {
      TBox4 clipped{std::max(box->llx, media->llx), std::max(box->lly, media->lly),
                    std::min(box->urx, media->urx), std::min(box->ury, media->ury)};
      if (clipped.llx < clipped.urx && clipped.lly < clipped.ury) box = clipped;
    }
    return box;
  };
  std::optional<TBox4> box;
  if (View.Box != TPageBox::Media) {
    box = withinMedia(ReadBox(*this, LookupInherited(PageDictionary, "CropBox")));
    // Bleed, trim and art boxes are not inherited, and stand in for the crop box when present.
    const char* key = View.Box == TPageBox::Bleed ? "BleedBox"
                      : View.Box == TPageBox::Trim ? "TrimBox"
                      : View.Box == TPageBox::Art  ? "ArtBox"
                                                   : nullptr;
    if (key)
      if (std::optional<TBox4> own = withinMedia(ReadBox(*this, PageDictionary->GetValue(key, false)))) box = own;
  }
  auto empty = [](const std::optional<TBox4>& b) { return b && (b->llx == b->urx || b->lly == b->ury); };
  if (!box || empty(box)) box = media;
  if (empty(box)) {
    // An empty box (MediaBox [0 0 0 0]) is drawn as US Letter, as other readers do.
    AddPageNote("the page's box is empty: it is drawn as US Letter");
    box.reset();
  }
  if (box) {
    g.Llx = box->llx, g.Lly = box->lly, g.Urx = box->urx, g.Ury = box->ury;
  }
  double w = g.Urx - g.Llx, h = g.Ury - g.Lly;
  if (w == 0) w = 1;
  if (h == 0) h = 1;

  int rotate = 0;
  if (auto* n = As<TPDFNumeric>(LookupInherited(PageDictionary, "Rotate"))) {
    rotate = n->AsInteger();
  }
  int r = (rotate / 90) % 4 * 90;
  if (r < 0) r += 360;
  g.Rotation = r;
  if (r == 90 || r == 270) std::swap(w, h);
  g.Width = w;
  g.Height = h;
  g.PixelWidth = PixelExtent(w, dpi);
  g.PixelHeight = PixelExtent(h, dpi);
  // At the fitted resolution, rounding up must not pass the bounds.
  if (View.FitWidth > 0) g.PixelWidth = std::clamp<std::int64_t>(g.PixelWidth, 1, View.FitWidth);
  if (View.FitHeight > 0) g.PixelHeight = std::clamp<std::int64_t>(g.PixelHeight, 1, View.FitHeight);

  // User space: translate the box corner to the origin, rotate, then scale to pixels with y
  // growing downwards. The page's top edge lies on the bitmap's top edge (a fraction of a
  // pixel may be left over at the bottom, since the bitmap size is rounded up).
  TPDFMatrix ctm;
  constexpr double kInch = limits::kPointsPerInch;
  TPDFMatrix scale{dpi / kInch, 0, 0, -dpi / kInch, 0, h * dpi / kInch};
  MatrixMultiply(ctm, scale, ctm);
  TPDFMatrix rot;
  switch (r) {
    case 90: rot = {0, -1, 1, 0, 0, h}; break;
    case 180: rot = {-1, 0, 0, -1, w, h}; break;
    case 270: rot = {0, 1, -1, 0, w, 0}; break;
    default: break;
  }
  MatrixMultiply(ctm, rot, ctm);
  TPDFMatrix shift{1, 0, 0, 1, -g.Llx, -g.Lly};
  MatrixMultiply(ctm, shift, ctm);
  g.PageMatrix = ctm;
  return g;
}

double TPDFRenderer::FittedResolution() {
  if (View.FitWidth <= 0 && View.FitHeight <= 0) return Resolution;
  const TPageGeometry g = PageGeometry();
  double dpi = std::numeric_limits<double>::infinity();
  if (View.FitWidth > 0) dpi = std::min(dpi, View.FitWidth * limits::kPointsPerInch / g.Width);
  if (View.FitHeight > 0) dpi = std::min(dpi, View.FitHeight * limits::kPointsPerInch / g.Height);
  return dpi;
}

void TPDFRenderer::RenderPageOn(TPDFGenericCanvas& canvas) {
  SavedState.reset();
  errorText_.clear();
  const TPageGeometry g = PageGeometry();
  CTM = g.PageMatrix;
  TargetWidth = static_cast<double>(g.PixelWidth);
  TargetHeight = static_cast<double>(g.PixelHeight);
  if (BandHeight > 0) {
    // The band's top row is the canvas's first: the page moves up by whole pixels, so each
    // band holds exactly the pixels the whole page would.
    MatrixMultiply(CTM, g.PageMatrix, TPDFMatrix{1, 0, 0, 1, 0, -static_cast<double>(BandTop)});
    TargetHeight = static_cast<double>(BandHeight);
  }
  BasePageMatrix = CTM;
  TPageBudgetScope budget(*this);
  Interpret(canvas, PageDictionary, nullptr, nullptr);
}

TDeviceBox TPDFRenderer::PostScriptBox(const TPageGeometry& g) {
  if (g.Rotation == 0) return TDeviceBox{g.Llx, g.Lly, g.Urx, g.Ury};
  return TDeviceBox{0, 0, g.Width, g.Height};
}

void TPDFRenderer::RenderPageOnPostScript(TPDFPostScriptCanvas& eps) {
  SavedState.reset();
  errorText_.clear();
  TargetKind = TRenderTargetKind::EPS;
  const TPageGeometry g = PageGeometry();
  // The content's own cm lines place everything, so the renderer's matrix stays the identity
  // and the page is not scaled. A rotated page is turned by one cm line of its own, into the
  // box PostScriptBox() gives.
  CTM = TPDFMatrix{};
  BasePageMatrix = CTM;
  EPSBaseMatrix = TPDFMatrix{};
  EPSPageBox = PostScriptBox(g);
  if (g.Rotation != 0) {
    // g.Width and g.Height are the turned page's; (x, y) is first moved to the box's corner.
    const double w = g.Width, h = g.Height;
    TPDFMatrix turn;
    switch (g.Rotation) {
      case 90: turn = {0, -1, 1, 0, 0, h}; break;
      case 180: turn = {-1, 0, 0, -1, w, h}; break;
      default: turn = {0, 1, -1, 0, w, 0}; break;
    }
    TPDFMatrix m;
    MatrixMultiply(m, TPDFMatrix{1, 0, 0, 1, -g.Llx, -g.Lly}, turn);
    eps.AddLine("[ " + EPSLine({m.a, m.b, m.c, m.d, m.e, m.f}, "] cm"));
    EPSBaseMatrix = EPSWrittenMatrix(m);
  }
  EPSMatrix = EPSBaseMatrix;
  EPSPictures = 0;
  TransparencyLeftOut = false;
  // There are no device pixels: nothing is measured against a target size.
  TargetWidth = 0;
  TargetHeight = 0;
  eps_ = &eps;
  struct TForget {
    TPDFPostScriptCanvas*& target;
    ~TForget() { target = nullptr; }
  } forget{eps_};
  TPageBudgetScope budget(*this);
  Interpret(eps, PageDictionary, nullptr, nullptr);
}

}  // namespace kestrel
