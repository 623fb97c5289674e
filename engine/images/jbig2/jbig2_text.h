#pragma once
// Text region decoding: symbol instances placed strip by strip, optionally refined; used by
// text region segments and by symbol dictionaries for aggregate symbols.
#include <array>
#include <cstdint>
#include <vector>

#include "engine/images/jbig2/jbig2_arith.h"
#include "engine/images/jbig2/jbig2_bitmap.h"
#include "engine/images/jbig2/jbig2_huffman.h"
#include "engine/images/jbig2/jbig2_segments.h"

namespace kestrel::jbig2 {

enum TRefCorner { kBottomLeft = 0, kTopLeft = 1, kBottomRight = 2, kTopRight = 3 };

struct TTextParams {
  bool Huffman = false;       // SBHUFF
  bool Refine = false;        // SBREFINE
  int LogStrips = 0;          // LOGSBSTRIPS
  int RefCorner = kTopLeft;   // REFCORNER
  bool Transposed = false;    // TRANSPOSED
  TCombineOp CombOp = TCombineOp::Or;
  int DefPixel = 0;           // SBDEFPIXEL
  int DsOffset = 0;           // SBDSOFFSET
  int RTemplate = 0;          // SBRTEMPLATE
  std::array<std::int8_t, 4> RAt{-1, -1, -1, -1};
  std::uint32_t NumInstances = 0;
  const std::vector<const TJBIG2Bitmap*>* Symbols = nullptr;
  // Huffman tables (SBHUFFFS ... SBHUFFRSIZE) and the symbol identifier table.
  const THuffmanTable *Fs = nullptr, *Ds = nullptr, *Dt = nullptr, *Rdw = nullptr,
                      *Rdh = nullptr, *Rdx = nullptr, *Rdy = nullptr, *Rsize = nullptr,
                      *SymbolIds = nullptr;
};

// The arithmetic state of text decoding; a symbol dictionary keeps one across its aggregates.
struct TTextDecoders {
  explicit TTextDecoders(int symbolCodeLength) : Id(symbolCodeLength) {}
  TIntegerDecoder Dt, Fs, Ds, It, Ri, Rdw, Rdh, Rdx, Rdy;
  TIdDecoder Id;
  std::vector<TContext> Refinement;  // sized on first use
};

// Decodes into `out` (sized). Huffman data comes from `in`; arithmetic from `ad` and `dec`.
void DecodeText(TJBIG2Bitmap& out, const TTextParams& params, TStreamReader& in,
                TArithmeticDecoder& ad, TTextDecoders& dec, TPixelBudget& budget);

// A text region segment's data after its region information, decoded into `out`, which keeps
// what was decoded when the data fails part way.
void ReadTextRegion(TStreamReader& in, const TRegionInfo& info, const TSegmentInputs& inputs,
                    TPixelBudget& budget, TJBIG2Bitmap& out);

}  // namespace kestrel::jbig2
