#include "engine/images/jbig2/jbig2_text.h"

#include <optional>

#include "engine/images/jbig2/jbig2_generic.h"

namespace kestrel::jbig2 {

namespace {

std::int32_t Required(std::optional<std::int32_t> v) {
  if (!v) Fail("JBIG2 text region value missing");
  return *v;
}

// The symbol identifier code lengths, themselves Huffman coded with run codes.
THuffmanTable ReadSymbolIdTable(TStreamReader& in, std::size_t symbols) {
  std::vector<THuffmanLine> runLines(35);
  for (int i = 0; i < 35; ++i) runLines[std::size_t(i)] = {int(in.Bits(4)), 0, i};
  const THuffmanTable runCodes(std::move(runLines));
  std::vector<THuffmanLine> lines;
  lines.reserve(symbols);
  while (lines.size() < symbols) {
    const int code = Required(runCodes.Decode(in));
    std::size_t repeat = 1;
    int length = code;
    if (code == 32) {
      if (lines.empty()) Fail("JBIG2 symbol code lengths damaged");
      length = lines.back().PrefixLength;
      repeat = 3 + in.Bits(2);
    } else if (code == 33) {
      length = 0;
      repeat = 3 + in.Bits(3);
    } else if (code == 34) {
      length = 0;
      repeat = 11 + in.Bits(7);
    }
    if (repeat > symbols - lines.size()) Fail("JBIG2 symbol code lengths damaged");
    for (std::size_t k = 0; k < repeat; ++k)
      lines.push_back({length, 0, std::int32_t(lines.size())});
  }
  in.AlignByte();
  return THuffmanTable(std::move(lines));
}

}  // namespace

void DecodeText(TJBIG2Bitmap& out, const TTextParams& p, TStreamReader& in,
                TArithmeticDecoder& ad, TTextDecoders& dec, TPixelBudget& budget) {
  const auto& symbols = *p.Symbols;
  out.Fill(p.DefPixel);
  if (p.Refine && dec.Refinement.size() != RefinementContexts(p.RTemplate).size())
    dec.Refinement = RefinementContexts(p.RTemplate);
  auto value = [&](const THuffmanTable* table, TIntegerDecoder& ia) {
    return p.Huffman ? table->Decode(in) : ia.Decode(ad);
  };
  const std::int64_t strips = std::int64_t{1} << p.LogStrips;
  std::int64_t stripT = -std::int64_t(Required(value(p.Dt, dec.Dt))) * strips;
  std::int64_t firstS = 0;
  std::uint64_t instances = 0;
  TArithmeticDecoder refineAd;
  while (instances < p.NumInstances) {
    stripT += std::int64_t(Required(value(p.Dt, dec.Dt))) * strips;
    bool first = true;
    std::int64_t curS = 0;
    for (;;) {
      if (first) {
        firstS += Required(value(p.Fs, dec.Fs));
        curS = firstS;
        first = false;
      } else {
        const auto ds = value(p.Ds, dec.Ds);
        if (!ds) break;
        curS += std::int64_t(*ds) + p.DsOffset;
      }
      if (++instances > p.NumInstances) Fail("JBIG2 text region has more instances than it says");
      std::int64_t curT = 0;
      if (strips > 1) curT = p.Huffman ? std::int64_t(in.Bits(p.LogStrips)) : Required(dec.It.Decode(ad));
      const std::int64_t t = stripT + curT;
      const std::uint32_t id = p.Huffman ? std::uint32_t(Required(p.SymbolIds->Decode(in)))
                                         : dec.Id.Decode(ad);
      if (id >= symbols.size()) Fail("JBIG2 symbol identifier out of range");
      const TJBIG2Bitmap* symbol = symbols[id];
      int refine = 0;
      if (p.Refine) refine = p.Huffman ? in.Bit() : Required(dec.Ri.Decode(ad));
      TJBIG2Bitmap refined;
      if (refine) {
        const std::int32_t rdw = Required(value(p.Rdw, dec.Rdw));
        const std::int32_t rdh = Required(value(p.Rdh, dec.Rdh));
        const std::int32_t rdx = Required(value(p.Rdx, dec.Rdx));
        const std::int32_t rdy = Required(value(p.Rdy, dec.Rdy));
        TArithmeticDecoder* rad = &ad;
        std::size_t rsize = 0;
        if (p.Huffman) {
          rsize = std::uint32_t(Required(p.Rsize->Decode(in)));
          in.AlignByte();
          refineAd.Start(in.Rest().first(std::min(rsize, in.Left())));
          rad = &refineAd;
        }
        const std::int64_t w = std::int64_t(symbol->Width()) + rdw;
        const std::int64_t h = std::int64_t(symbol->Height()) + rdh;
        if (!BitmapSizeFits(w, h)) Fail("JBIG2 refined symbol size out of range");
        budget.ChargeArea(std::uint64_t(w), std::uint64_t(h));
        refined = TJBIG2Bitmap(int(w), int(h));
        TRefinementParams rp;
        rp.Template = p.RTemplate;
        rp.At = p.RAt;
        rp.Reference = symbol;
        rp.Dx = (rdw >> 1) + rdx;
        rp.Dy = (rdh >> 1) + rdy;
        DecodeRefinement(refined, rp, *rad, dec.Refinement);
        if (p.Huffman) in.Skip(std::min(rsize, in.Left()));
        symbol = &refined;
      }
      const std::int64_t wi = symbol->Width(), hi = symbol->Height();
      budget.ChargeArea(std::uint64_t(wi), std::uint64_t(hi));
      const bool right = p.RefCorner & 2, top = p.RefCorner & 1;
      if (!p.Transposed && right) curS += wi - 1;
      if (p.Transposed && !top) curS += hi - 1;
      const std::int64_t s = curS;
      std::int64_t x, y;
      if (!p.Transposed) {
        x = right ? s - wi + 1 : s;
        y = top ? t : t - hi + 1;
      } else {
        x = right ? t - wi + 1 : t;
        y = top ? s : s - hi + 1;
      }
      out.Combine(*symbol, x, y, p.CombOp);
      if (!p.Transposed && !right) curS += wi - 1;
      if (p.Transposed && top) curS += hi - 1;
    }
  }
}

void ReadTextRegion(TStreamReader& in, const TRegionInfo& info, const TSegmentInputs& inputs,
                    TPixelBudget& budget, TJBIG2Bitmap& out) {
  TTextParams p;
  const int flags = in.U16();
  p.Huffman = flags & 1;
  p.Refine = (flags >> 1) & 1;
  p.LogStrips = (flags >> 2) & 3;
  p.RefCorner = (flags >> 4) & 3;
  p.Transposed = (flags >> 6) & 1;
  p.CombOp = TCombineOp((flags >> 7) & 3);
  p.DefPixel = (flags >> 9) & 1;
  p.DsOffset = (flags >> 10) & 0x1F;
  if (p.DsOffset & 0x10) p.DsOffset -= 0x20;
  p.RTemplate = (flags >> 15) & 1;
  int huffFlags = 0;
  if (p.Huffman) huffFlags = in.U16();
  if (p.Refine && p.RTemplate == 0)
    for (auto& a : p.RAt) a = in.S8();
  p.NumInstances = in.U32();
  p.Symbols = &inputs.Symbols;
  if (p.NumInstances > 0 && inputs.Symbols.empty()) Fail("JBIG2 text region without symbols");

  TTableCursor custom(inputs.Tables);
  THuffmanTable symbolIds;
  if (p.Huffman) {
    auto pick = [&](int field, std::initializer_list<int> standard) -> const THuffmanTable* {
      if (field == 3) return &custom.Next();
      if (std::size_t(field) >= standard.size()) Fail("JBIG2 text region table choice invalid");
      return &StandardTable(*(standard.begin() + field));
    };
    p.Fs = pick(huffFlags & 3, {6, 7});
    p.Ds = pick((huffFlags >> 2) & 3, {8, 9, 10});
    p.Dt = pick((huffFlags >> 4) & 3, {11, 12, 13});
    p.Rdw = pick((huffFlags >> 6) & 3, {14, 15});
    p.Rdh = pick((huffFlags >> 8) & 3, {14, 15});
    p.Rdx = pick((huffFlags >> 10) & 3, {14, 15});
    p.Rdy = pick((huffFlags >> 12) & 3, {14, 15});
    p.Rsize = (huffFlags >> 14) & 1 ? &custom.Next() : &StandardTable(1);
    symbolIds = ReadSymbolIdTable(in, inputs.Symbols.size());
    p.SymbolIds = &symbolIds;
  }
  out = RegionBitmap(info);
  budget.ChargeArea(std::uint64_t(out.Width()), std::uint64_t(out.Height()));
  TArithmeticDecoder ad;
  if (!p.Huffman) ad.Start(in.Rest());
  TTextDecoders dec(CodeLength(inputs.Symbols.size()));
  DecodeText(out, p, in, ad, dec, budget);
}

}  // namespace kestrel::jbig2
