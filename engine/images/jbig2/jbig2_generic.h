#pragma once
// Generic region decoding: arithmetic templates 0-3 with adaptive pixels and typical
// prediction, or MMR; also the refinement procedure (templates 0 and 1).
#include <array>
#include <cstdint>
#include <vector>

#include "engine/images/jbig2/jbig2_arith.h"
#include "engine/images/jbig2/jbig2_bitmap.h"

namespace kestrel::jbig2 {

struct TGenericParams {
  int Template = 0;    // GBTEMPLATE
  bool Tpgdon = false;  // typical prediction
  // Adaptive pixels (x, y) A1..A4; only A1 for templates 1-3.
  std::array<int, 8> At{3, -1, -3, -1, 2, -2, -2, -2};
  // Pixels set here are not decoded and stay 0 (halftone gray-scale planes).
  const TJBIG2Bitmap* Skip = nullptr;
};

// Contexts of one template, cleared.
std::vector<TContext> GenericContexts(int templ);
// The adaptive pixels of a template at their usual places.
std::array<int, 8> DefaultGenericAt(int templ);

// Decodes `out` (sized, cleared) with contexts `cx` from GenericContexts.
void DecodeGenericArith(TJBIG2Bitmap& out, const TGenericParams& params, TArithmeticDecoder& ad,
                        std::vector<TContext>& cx);

// Decodes MMR data into `out` (sized, cleared); returns the bytes used, end-of-block included.
std::size_t DecodeGenericMMR(TJBIG2Bitmap& out, TByteSpan data);

struct TRefinementParams {
  int Template = 0;     // GRTEMPLATE
  bool Tpgron = false;  // typical prediction
  std::array<std::int8_t, 4> At{-1, -1, -1, -1};  // GRAT1 (x, y), GRAT2 (x, y): template 0
  const TJBIG2Bitmap* Reference = nullptr;
  int Dx = 0, Dy = 0;  // GRREFERENCEDX, GRREFERENCEDY
};

std::vector<TContext> RefinementContexts(int templ);

void DecodeRefinement(TJBIG2Bitmap& out, const TRefinementParams& params, TArithmeticDecoder& ad,
                      std::vector<TContext>& cx);

}  // namespace kestrel::jbig2
