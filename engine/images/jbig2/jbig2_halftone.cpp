#include "engine/images/jbig2/jbig2_halftone.h"

#include "engine/images/jbig2/jbig2_generic.h"

namespace kestrel::jbig2 {

namespace {

// Halftones use a few hundred patterns at most.
constexpr std::uint32_t kMaxPatterns = 1u << 20;

}  // namespace

void ReadPatternDictionary(TStreamReader& in, TPixelBudget& budget,
                           TPatternDictionarySegment& out) {
  const int flags = in.U8();
  const bool mmr = flags & 1;
  const int templ = (flags >> 1) & 3;
  const int width = in.U8(), height = in.U8();
  const std::uint32_t grayMax = in.U32();
  if (width == 0 || height == 0) Fail("JBIG2 pattern size empty");
  if (grayMax >= kMaxPatterns) Fail("JBIG2 pattern dictionary has too many patterns");
  const std::int64_t total = (std::int64_t(grayMax) + 1) * width;
  if (!BitmapSizeFits(total, height)) Fail("JBIG2 pattern dictionary too large");
  budget.ChargeArea(std::uint64_t(total), std::uint64_t(height));
  TJBIG2Bitmap all{int(total), height};
  if (mmr) {
    DecodeGenericMMR(all, in.Rest());
  } else {
    TGenericParams gp;
    gp.Template = templ;
    gp.At = DefaultGenericAt(templ);
    gp.At[0] = -width;
    gp.At[1] = 0;
    std::vector<TContext> cx = GenericContexts(templ);
    TArithmeticDecoder ad(in.Rest());
    DecodeGenericArith(all, gp, ad, cx);
  }
  out.Patterns.reserve(std::size_t(grayMax) + 1);
  for (std::int64_t i = 0; i <= std::int64_t(grayMax); ++i)
    out.Patterns.push_back(all.Crop(int(i * width), 0, width, height));
}

void ReadHalftoneRegion(TStreamReader& in, const TRegionInfo& info, const TSegmentInputs& inputs,
                        TPixelBudget& budget, TJBIG2Bitmap& out) {
  const int flags = in.U8();
  const bool mmr = flags & 1;
  const int templ = (flags >> 1) & 3;
  const bool enableSkip = (flags >> 3) & 1;
  const int op = (flags >> 4) & 7;
  const int defPixel = (flags >> 7) & 1;
  const std::uint32_t gridW = in.U32(), gridH = in.U32();
  const std::int64_t gridX = in.S32(), gridY = in.S32();
  const std::int64_t stepX = in.U16(), stepY = in.U16();
  if (!inputs.Patterns || inputs.Patterns->Patterns.empty())
    Fail("JBIG2 halftone region without patterns");
  const auto& patterns = inputs.Patterns->Patterns;
  const int pw = patterns[0].Width(), ph = patterns[0].Height();
  out = RegionBitmap(info, defPixel);
  budget.ChargeArea(std::uint64_t(out.Width()), std::uint64_t(out.Height()));
  if (!BitmapSizeFits(gridW, gridH)) Fail("JBIG2 halftone grid too large");
  const int bpp = CodeLength(patterns.size());
  const std::uint64_t cells = (std::uint64_t(gridW) + 1) * (std::uint64_t(gridH) + 1);
  budget.Charge(cells * std::uint64_t(bpp + 1 + pw * ph));

  // Grid cell (m, n) sits at ((X + m·stepY + n·stepX) >> 8, (Y + m·stepX − n·stepY) >> 8).
  auto cellX = [&](std::int64_t m, std::int64_t n) { return (gridX + m * stepY + n * stepX) >> 8; };
  auto cellY = [&](std::int64_t m, std::int64_t n) { return (gridY + m * stepX - n * stepY) >> 8; };
  TJBIG2Bitmap skip;
  if (enableSkip) {
    skip = TJBIG2Bitmap(int(gridW), int(gridH));
    for (std::int64_t m = 0; m < gridH; ++m)
      for (std::int64_t n = 0; n < gridW; ++n) {
        const std::int64_t x = cellX(m, n), y = cellY(m, n);
        if (x + pw <= 0 || x >= out.Width() || y + ph <= 0 || y >= out.Height())
          skip.Set(int(n), int(m), 1);
      }
  }

  // Gray-coded bit planes, most significant first, each XORed with the one before.
  std::vector<TJBIG2Bitmap> planes{std::size_t(bpp)};
  TGenericParams gp;
  gp.Template = templ;
  gp.At = DefaultGenericAt(templ);
  gp.Skip = enableSkip ? &skip : nullptr;
  std::vector<TContext> cx = GenericContexts(templ);
  TArithmeticDecoder ad;
  if (!mmr) ad.Start(in.Rest());
  for (int j = bpp - 1; j >= 0; --j) {
    TJBIG2Bitmap& plane = planes[std::size_t(j)];
    plane = TJBIG2Bitmap(int(gridW), int(gridH));
    if (mmr) in.Skip(DecodeGenericMMR(plane, in.Rest()));
    else DecodeGenericArith(plane, gp, ad, cx);
    if (j + 1 < bpp) plane.Combine(planes[std::size_t(j + 1)], 0, 0, TCombineOp::Xor);
  }

  for (std::int64_t m = 0; m < gridH; ++m)
    for (std::int64_t n = 0; n < gridW; ++n) {
      std::size_t gray = 0;
      for (int j = 0; j < bpp; ++j)
        gray |= std::size_t(planes[std::size_t(j)].Get(int(n), int(m))) << j;
      gray = std::min(gray, patterns.size() - 1);
      out.Combine(patterns[gray], cellX(m, n), cellY(m, n), TCombineOp(std::min(op, 4)));
    }
}

}  // namespace kestrel::jbig2
