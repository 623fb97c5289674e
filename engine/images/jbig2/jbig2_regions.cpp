#include "engine/images/jbig2/jbig2_regions.h"

#include "engine/images/jbig2/jbig2_generic.h"

namespace kestrel::jbig2 {

namespace {

constexpr std::size_t kRegionInfoBytes = 17;

}  // namespace

std::size_t FindGenericRegionEnd(TByteSpan data) {
  if (data.size() < kRegionInfoBytes + 1) Fail("JBIG2 generic region ends early");
  const int flags = data[kRegionInfoBytes];
  const bool mmr = flags & 1;
  const std::size_t start = kRegionInfoBytes + 1 + (mmr ? 0 : ((flags >> 1) & 3) == 0 ? 8 : 2);
  const std::uint8_t a = mmr ? 0x00 : 0xFF, b = mmr ? 0x00 : 0xAC;
  for (std::size_t i = start; i + 6 <= data.size(); ++i)
    if (data[i] == a && data[i + 1] == b) return i + 6;
  Fail("JBIG2 generic region end not found");
}

void ReadGenericRegion(TStreamReader& in, TRegionInfo& info, bool unknownLength,
                       TPixelBudget& budget, TJBIG2Bitmap& out) {
  const int flags = in.U8();
  const bool mmr = flags & 1;
  TGenericParams gp;
  gp.Template = (flags >> 1) & 3;
  gp.Tpgdon = (flags >> 3) & 1;
  if (flags & 0x10) Fail("JBIG2 extended generic templates are not supported");
  gp.At = DefaultGenericAt(gp.Template);
  if (!mmr) {
    const int n = gp.Template == 0 ? 8 : 2;
    for (int i = 0; i < n; ++i) gp.At[std::size_t(i)] = in.S8();
  }
  TByteSpan data = in.Rest();
  if (unknownLength) {
    // The reader's data ends with the end sequence and the row count.
    if (data.size() < 6) Fail("JBIG2 generic region ends early");
    const TByteSpan count = data.last(4);
    const std::uint32_t rows = std::uint32_t(count[0]) << 24 | std::uint32_t(count[1]) << 16 |
                               std::uint32_t(count[2]) << 8 | count[3];
    if (info.Height == 0xFFFFFFFF || rows < info.Height) info.Height = rows;
    data = data.first(data.size() - 6);
  }
  out = RegionBitmap(info);
  budget.ChargeArea(std::uint64_t(out.Width()), std::uint64_t(out.Height()));
  if (mmr) {
    DecodeGenericMMR(out, data);
  } else {
    std::vector<TContext> cx = GenericContexts(gp.Template);
    TArithmeticDecoder ad(data);
    DecodeGenericArith(out, gp, ad, cx);
  }
}

void ReadRefinementRegion(TStreamReader& in, const TRegionInfo& info,
                          const TJBIG2Bitmap& reference, TPixelBudget& budget,
                          TJBIG2Bitmap& out) {
  const int flags = in.U8();
  TRefinementParams rp;
  rp.Template = flags & 1;
  rp.Tpgron = (flags >> 1) & 1;
  if (rp.Template == 0)
    for (auto& a : rp.At) a = in.S8();
  rp.Reference = &reference;
  out = RegionBitmap(info);
  budget.ChargeArea(std::uint64_t(out.Width()), std::uint64_t(out.Height()));
  std::vector<TContext> cx = RefinementContexts(rp.Template);
  TArithmeticDecoder ad(in.Rest());
  DecodeRefinement(out, rp, ad, cx);
}

}  // namespace kestrel::jbig2
