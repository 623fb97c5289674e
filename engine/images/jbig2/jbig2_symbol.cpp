#include "engine/images/jbig2/jbig2_symbol.h"

#include <algorithm>
#include <cstring>

#include "engine/images/jbig2/jbig2_generic.h"
#include "engine/images/jbig2/jbig2_text.h"

namespace kestrel::jbig2 {

namespace {

// Far more symbols than any real dictionary holds; the data bound below is usually tighter.
constexpr std::uint32_t kMaxNewSymbols = 1u << 20;

std::int32_t Required(std::optional<std::int32_t> v) {
  if (!v) Fail("JBIG2 symbol dictionary value missing");
  return *v;
}

const THuffmanTable* Pick(int field, std::initializer_list<int> standard, TTableCursor& custom) {
  if (field == 3 || (standard.size() == 1 && field == 1)) return &custom.Next();
  if (std::size_t(field) >= standard.size()) Fail("JBIG2 symbol dictionary table choice invalid");
  return &StandardTable(*(standard.begin() + field));
}

// Height classes coded with Huffman and without refinement share one collective bitmap, cut
// into the symbols by their widths.
void ReadCollective(TStreamReader& in, const THuffmanTable& bmSizeTable,
                    const std::vector<std::int64_t>& widths, std::int64_t totalWidth,
                    std::int64_t height, TPixelBudget& budget, TSymbolDictionarySegment& out,
                    std::vector<const TJBIG2Bitmap*>& symbols) {
  const std::uint32_t size = std::uint32_t(Required(bmSizeTable.Decode(in)));
  in.AlignByte();
  if (!BitmapSizeFits(totalWidth, height)) Fail("JBIG2 collective bitmap too large");
  budget.ChargeArea(std::uint64_t(totalWidth), std::uint64_t(height));
  TJBIG2Bitmap all{int(totalWidth), int(height)};
  if (size == 0) {
    for (int y = 0; y < all.Height() && all.Stride() > 0; ++y) {
      const TByteSpan row = in.Take(std::size_t(all.Stride()));
      std::memcpy(all.Row(y), row.data(), row.size());
      if (all.Width() & 7) all.Row(y)[all.Stride() - 1] &= std::uint8_t(0xFF << (8 - (all.Width() & 7)));
    }
  } else {
    const TByteSpan data = in.Take(size);
    DecodeGenericMMR(all, data);
  }
  std::int64_t x = 0;
  for (std::int64_t w : widths) {
    out.NewSymbols.push_back(all.Crop(int(x), 0, int(w), int(height)));
    symbols.push_back(&out.NewSymbols.back());
    x += w;
  }
}

}  // namespace

void ReadSymbolDictionary(TStreamReader& in, const TSegmentInputs& inputs, TPixelBudget& budget,
                          TSymbolDictionarySegment& out) {
  const int flags = in.U16();
  const bool huffman = flags & 1, refAgg = (flags >> 1) & 1;
  const int dhChoice = (flags >> 2) & 3, dwChoice = (flags >> 4) & 3;
  const int bmSizeChoice = (flags >> 6) & 1, aggChoice = (flags >> 7) & 1;
  const bool contextsUsed = (flags >> 8) & 1, contextsRetained = (flags >> 9) & 1;
  const int templ = (flags >> 10) & 3, rTempl = (flags >> 12) & 1;
  TGenericParams gp;
  gp.Template = templ;
  gp.At = DefaultGenericAt(templ);
  if (!huffman) {
    const int n = templ == 0 ? 8 : 2;
    for (int i = 0; i < n; ++i) gp.At[std::size_t(i)] = in.S8();
  }
  std::array<std::int8_t, 4> rAt{-1, -1, -1, -1};
  if (refAgg && rTempl == 0) rAt = {in.S8(), in.S8(), in.S8(), in.S8()};
  const std::uint32_t numExported = in.U32(), numNew = in.U32();
  if (numNew > kMaxNewSymbols || numNew > 64 * (std::uint64_t(in.Left()) + 1))
    Fail("JBIG2 symbol dictionary claims more symbols than its data holds");
  const std::uint64_t total = std::uint64_t(inputs.Symbols.size()) + numNew;
  if (numExported > total) Fail("JBIG2 symbol dictionary exports symbols it does not have");

  TTableCursor custom(inputs.Tables);
  const THuffmanTable *dhTable = nullptr, *dwTable = nullptr, *bmSizeTable = nullptr,
                      *aggTable = nullptr;
  if (huffman) {
    dhTable = Pick(dhChoice, {4, 5}, custom);
    dwTable = Pick(dwChoice, {2, 3}, custom);
    bmSizeTable = Pick(bmSizeChoice, {1}, custom);
    aggTable = Pick(aggChoice, {1}, custom);
  }

  std::vector<TContext> gbcx = GenericContexts(templ);
  const int codeLength = CodeLength(total);
  TTextDecoders dec(codeLength);
  dec.Refinement = RefinementContexts(rTempl);
  if (contextsUsed && inputs.LastDictionary) {
    if (inputs.LastDictionary->GenericContexts.size() == gbcx.size())
      gbcx = inputs.LastDictionary->GenericContexts;
    if (inputs.LastDictionary->RefinementContexts.size() == dec.Refinement.size())
      dec.Refinement = inputs.LastDictionary->RefinementContexts;
  }
  TIntegerDecoder iaDh, iaDw, iaEx, iaAi;
  TArithmeticDecoder ad;
  if (!huffman) ad.Start(in.Rest());
  TArithmeticDecoder refineAd;

  // Aggregates and refinements draw on the input symbols and the new ones decoded so far.
  std::vector<const TJBIG2Bitmap*> symbols = inputs.Symbols;
  THuffmanTable huffmanIds;
  if (huffman && refAgg) {
    std::vector<THuffmanLine> lines(total);
    for (std::size_t i = 0; i < lines.size(); ++i)
      lines[i] = {std::max(codeLength, 1), 0, std::int32_t(i)};
    huffmanIds = THuffmanTable(std::move(lines));
  }
  auto value = [&](const THuffmanTable* table, TIntegerDecoder& ia) {
    return huffman ? table->Decode(in) : ia.Decode(ad);
  };

  std::uint32_t decoded = 0;
  std::int64_t classHeight = 0;
  int emptyClasses = 0;
  while (decoded < numNew) {
    const std::uint32_t classStart = decoded;
    classHeight += Required(value(dhTable, iaDh));
    if (classHeight < 0 || classHeight > 0x7FFFFFFF) Fail("JBIG2 symbol height out of range");
    std::int64_t symWidth = 0, totalWidth = 0;
    std::vector<std::int64_t> widths;
    for (;;) {
      const auto dw = value(dwTable, iaDw);
      if (!dw) break;
      if (decoded >= numNew) Fail("JBIG2 symbol dictionary has more symbols than it says");
      symWidth += *dw;
      totalWidth += symWidth;
      if (symWidth < 0 || symWidth > 0x7FFFFFFF || totalWidth > 0x7FFFFFFF)
        Fail("JBIG2 symbol width out of range");
      ++decoded;
      if (huffman && !refAgg) {
        budget.Charge(0);
        widths.push_back(symWidth);
        continue;
      }
      if (!BitmapSizeFits(symWidth, classHeight)) Fail("JBIG2 symbol too large");
      budget.ChargeArea(std::uint64_t(symWidth), std::uint64_t(classHeight));
      TJBIG2Bitmap bm{int(symWidth), int(classHeight)};
      if (!refAgg) {
        DecodeGenericArith(bm, gp, ad, gbcx);
      } else {
        const std::int32_t instances = Required(value(aggTable, iaAi));
        if (instances < 1) Fail("JBIG2 aggregate symbol without instances");
        if (instances > 1) {
          TTextParams tp;
          tp.Huffman = huffman;
          tp.Refine = true;
          tp.RTemplate = rTempl;
          tp.RAt = rAt;
          tp.NumInstances = std::uint32_t(instances);
          tp.Symbols = &symbols;
          if (huffman) {
            tp.Fs = &StandardTable(6);
            tp.Ds = &StandardTable(8);
            tp.Dt = &StandardTable(11);
            tp.Rdw = tp.Rdh = tp.Rdx = tp.Rdy = &StandardTable(15);
            tp.Rsize = &StandardTable(1);
            tp.SymbolIds = &huffmanIds;
          }
          DecodeText(bm, tp, in, ad, dec, budget);
        } else {
          const std::uint32_t id = huffman ? in.Bits(std::max(codeLength, 1)) : dec.Id.Decode(ad);
          if (id >= symbols.size()) Fail("JBIG2 refined symbol identifier out of range");
          TRefinementParams rp;
          rp.Template = rTempl;
          rp.At = rAt;
          rp.Reference = symbols[id];
          rp.Dx = Required(value(&StandardTable(15), dec.Rdx));
          rp.Dy = Required(value(&StandardTable(15), dec.Rdy));
          if (huffman) {
            const std::size_t size = std::uint32_t(Required(StandardTable(1).Decode(in)));
            in.AlignByte();
            refineAd.Start(in.Take(std::min(size, in.Left())));
            DecodeRefinement(bm, rp, refineAd, dec.Refinement);
          } else {
            DecodeRefinement(bm, rp, ad, dec.Refinement);
          }
        }
      }
      out.NewSymbols.push_back(std::move(bm));
      symbols.push_back(&out.NewSymbols.back());
    }
    // Without this an arithmetic stream past its end could add empty classes forever.
    if (decoded == classStart && ++emptyClasses > 64) Fail("JBIG2 height classes without symbols");
    if (huffman && !refAgg)
      ReadCollective(in, *bmSizeTable, widths, totalWidth, classHeight, budget, out, symbols);
  }

  // Export flags alternate in runs, starting with symbols not exported.
  std::uint64_t i = 0;
  bool exported = false;
  for (std::uint64_t runs = 0; i < total; ++runs) {
    if (runs > 2 * total + 2) Fail("JBIG2 export runs do not advance");
    const std::int32_t run = Required(value(&StandardTable(1), iaEx));
    if (run < 0 || std::uint64_t(run) > total - i) Fail("JBIG2 export run out of range");
    if (exported)
      for (std::uint64_t k = i; k < i + std::uint64_t(run); ++k) out.Exported.push_back(symbols[k]);
    i += std::uint64_t(run);
    exported = !exported;
  }
  if (contextsRetained) {
    out.GenericContexts = std::move(gbcx);
    out.RefinementContexts = std::move(dec.Refinement);
  }
}

}  // namespace kestrel::jbig2
