#include "engine/images/jbig2/jbig2_generic.h"

#include <type_traits>

namespace kestrel::jbig2 {

namespace {

inline std::uint32_t Pixel(const std::uint8_t* row, int x, int width) {
  return row && unsigned(x) < unsigned(width) ? (row[x >> 3] >> (7 - (x & 7))) & 1u : 0u;
}

// The fixed pixels of each template as three windows that slide along the rows: row y-2
// (Hi2 = its rightmost offset, N2 pixels), row y-1 (Hi1, N1) and the decoded pixels left of x
// in the current row (N0). The context numbers put the current row lowest, then A1, row y-1
// right to left, and so on, as the typical-prediction contexts expect.
template <int T>
struct TTemplate;
template <>
struct TTemplate<0> {
  static constexpr int Hi1 = 2, N1 = 5, Hi2 = 1, N2 = 3, N0 = 4;
  static constexpr std::uint32_t Sltp = 0x9B25;
  static std::uint32_t Context(std::uint32_t w0, std::uint32_t w1, std::uint32_t w2,
                               const std::uint32_t* a) {
    return w0 | a[0] << 4 | w1 << 5 | a[1] << 10 | a[2] << 11 | w2 << 12 | a[3] << 15;
  }
};
template <>
struct TTemplate<1> {
  static constexpr int Hi1 = 2, N1 = 5, Hi2 = 2, N2 = 4, N0 = 3;
  static constexpr std::uint32_t Sltp = 0x0795;
  static std::uint32_t Context(std::uint32_t w0, std::uint32_t w1, std::uint32_t w2,
                               const std::uint32_t* a) {
    return w0 | a[0] << 3 | w1 << 4 | w2 << 9;
  }
};
template <>
struct TTemplate<2> {
  static constexpr int Hi1 = 1, N1 = 4, Hi2 = 1, N2 = 3, N0 = 2;
  static constexpr std::uint32_t Sltp = 0x00E5;
  static std::uint32_t Context(std::uint32_t w0, std::uint32_t w1, std::uint32_t w2,
                               const std::uint32_t* a) {
    return w0 | a[0] << 2 | w1 << 3 | w2 << 7;
  }
};
template <>
struct TTemplate<3> {
  static constexpr int Hi1 = 1, N1 = 5, Hi2 = 0, N2 = 0, N0 = 4;
  static constexpr std::uint32_t Sltp = 0x0195;
  static std::uint32_t Context(std::uint32_t w0, std::uint32_t w1, std::uint32_t,
                               const std::uint32_t* a) {
    return w0 | a[0] << 4 | w1 << 5;
  }
};

// With the adaptive pixels at their usual places they fall into the windows too (row y-1
// reaches one pixel further, and for template 0 row y-2 two more), and the context is simply
// the three windows side by side.
template <int T>
struct TNominal;
template <>
struct TNominal<0> {
  static constexpr int Hi1 = 3, N1 = 7, Hi2 = 2, N2 = 5, N0 = 4;
};
template <>
struct TNominal<1> {
  static constexpr int Hi1 = 3, N1 = 6, Hi2 = 2, N2 = 4, N0 = 3;
};
template <>
struct TNominal<2> {
  static constexpr int Hi1 = 2, N1 = 5, Hi2 = 1, N2 = 3, N0 = 2;
};
template <>
struct TNominal<3> {
  static constexpr int Hi1 = 2, N1 = 6, Hi2 = 0, N2 = 0, N0 = 4;
};
template <int T>
struct TNominalTemplate : TNominal<T> {
  using N = TNominal<T>;
  static constexpr std::uint32_t Sltp = TTemplate<T>::Sltp;
  static std::uint32_t Context(std::uint32_t w0, std::uint32_t w1, std::uint32_t w2,
                               const std::uint32_t*) {
    return w0 | w1 << N::N0 | w2 << (N::N0 + N::N1);
  }
};

template <int T, class Tm>
void DecodeRows(TJBIG2Bitmap& bm, const TGenericParams& p, TArithmeticDecoder& ad,
                TContext* cx) {
  constexpr int atCount = std::is_same_v<Tm, TTemplate<T>> ? (T == 0 ? 4 : 1) : 0;
  constexpr std::uint32_t mask0 = (1u << Tm::N0) - 1, mask1 = (1u << Tm::N1) - 1,
                          mask2 = (1u << Tm::N2) - 1;
  const int width = bm.Width(), height = bm.Height();
  int ltp = 0;
  for (int y = 0; y < height; ++y) {
    if (p.Tpgdon) {
      ltp ^= ad.Decode(cx[Tm::Sltp]);
      if (ltp) {
        if (y > 0) bm.CopyRow(y - 1, y);
        continue;
      }
    }
    std::uint8_t* row = bm.Row(y);
    const std::uint8_t* r1 = y >= 1 ? bm.Row(y - 1) : nullptr;
    const std::uint8_t* r2 = y >= 2 ? bm.Row(y - 2) : nullptr;
    std::uint32_t w0 = 0, w1 = 0, w2 = 0;
    for (int i = Tm::Hi1 - Tm::N1 + 1; i <= Tm::Hi1; ++i) w1 = (w1 << 1) | Pixel(r1, i, width);
    if constexpr (Tm::N2 > 0)
      for (int i = Tm::Hi2 - Tm::N2 + 1; i <= Tm::Hi2; ++i) w2 = (w2 << 1) | Pixel(r2, i, width);
    const std::uint8_t* skipRow =
        p.Skip && y < p.Skip->Height() && p.Skip->Width() >= width ? p.Skip->Row(y) : nullptr;
    for (int x = 0; x < width; ++x) {
      std::uint32_t a[4] = {0, 0, 0, 0};
      for (int k = 0; k < atCount; ++k)
        a[k] = std::uint32_t(bm.Get(x + p.At[std::size_t(2 * k)], y + p.At[std::size_t(2 * k + 1)]));
      std::uint32_t bit = 0;
      if (!skipRow || !Pixel(skipRow, x, width)) {
        bit = std::uint32_t(ad.Decode(cx[Tm::Context(w0, w1, w2, a)]));
        if (bit) row[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
      }
      w0 = ((w0 << 1) | bit) & mask0;
      w1 = ((w1 << 1) | Pixel(r1, x + 1 + Tm::Hi1, width)) & mask1;
      if constexpr (Tm::N2 > 0) w2 = ((w2 << 1) | Pixel(r2, x + 1 + Tm::Hi2, width)) & mask2;
    }
  }
}

}  // namespace

std::vector<TContext> GenericContexts(int templ) {
  const int bits = templ == 0 ? 16 : templ == 1 ? 13 : 10;
  return std::vector<TContext>(std::size_t{1} << bits, 0);
}

std::array<int, 8> DefaultGenericAt(int templ) {
  if (templ == 0) return {3, -1, -3, -1, 2, -2, -2, -2};
  if (templ == 1) return {3, -1, 0, 0, 0, 0, 0, 0};
  return {2, -1, 0, 0, 0, 0, 0, 0};
}

void DecodeGenericArith(TJBIG2Bitmap& out, const TGenericParams& params, TArithmeticDecoder& ad,
                        std::vector<TContext>& cx) {
  if (cx.size() != GenericContexts(params.Template).size()) Fail("JBIG2 generic contexts");
  const auto usual = DefaultGenericAt(params.Template);
  const bool nominal = params.Template == 0 ? params.At == usual
                                            : params.At[0] == usual[0] && params.At[1] == usual[1];
  switch (params.Template * 2 + (nominal ? 1 : 0)) {
    case 0: DecodeRows<0, TTemplate<0>>(out, params, ad, cx.data()); break;
    case 1: DecodeRows<0, TNominalTemplate<0>>(out, params, ad, cx.data()); break;
    case 2: DecodeRows<1, TTemplate<1>>(out, params, ad, cx.data()); break;
    case 3: DecodeRows<1, TNominalTemplate<1>>(out, params, ad, cx.data()); break;
    case 4: DecodeRows<2, TTemplate<2>>(out, params, ad, cx.data()); break;
    case 5: DecodeRows<2, TNominalTemplate<2>>(out, params, ad, cx.data()); break;
    case 6: DecodeRows<3, TTemplate<3>>(out, params, ad, cx.data()); break;
    default: DecodeRows<3, TNominalTemplate<3>>(out, params, ad, cx.data()); break;
  }
}

// Refinement: the decoded bitmap's pixels lowest, then the reference's, as in the generic
// case; the reference pixel for (x, y) is (x - Dx, y - Dy).
std::vector<TContext> RefinementContexts(int templ) {
  return std::vector<TContext>(std::size_t{1} << (templ == 0 ? 13 : 10), 0);
}

namespace {

std::uint32_t RefinementContext(const TJBIG2Bitmap& out, const TRefinementParams& p, int x,
                                int y) {
  const TJBIG2Bitmap& r = *p.Reference;
  const int rx = x - p.Dx, ry = y - p.Dy;
  auto o = [&](int dx, int dy) { return std::uint32_t(out.Get(x + dx, y + dy)); };
  auto g = [&](int dx, int dy) { return std::uint32_t(r.Get(rx + dx, ry + dy)); };
  if (p.Template == 0) {
    return o(-1, 0) | o(1, -1) << 1 | o(0, -1) << 2 | o(p.At[0], p.At[1]) << 3 | g(1, 1) << 4 |
           g(0, 1) << 5 | g(-1, 1) << 6 | g(1, 0) << 7 | g(0, 0) << 8 | g(-1, 0) << 9 |
           g(1, -1) << 10 | g(0, -1) << 11 | g(p.At[2], p.At[3]) << 12;
  }
  return o(-1, 0) | o(1, -1) << 1 | o(0, -1) << 2 | o(-1, -1) << 3 | g(1, 1) << 4 |
         g(0, 1) << 5 | g(1, 0) << 6 | g(0, 0) << 7 | g(-1, 0) << 8 | g(0, -1) << 9;
}

}  // namespace

void DecodeRefinement(TJBIG2Bitmap& out, const TRefinementParams& params, TArithmeticDecoder& ad,
                      std::vector<TContext>& cx) {
  if (!params.Reference || cx.size() != RefinementContexts(params.Template).size())
    Fail("JBIG2 refinement without a reference");
  const TJBIG2Bitmap& ref = *params.Reference;
  const std::uint32_t sltp = params.Template == 0 ? 0x0010 : 0x0008;
  int ltp = 0;
  for (int y = 0; y < out.Height(); ++y) {
    if (params.Tpgron) ltp ^= ad.Decode(cx[sltp]);
    for (int x = 0; x < out.Width(); ++x) {
      if (ltp) {
        // Where the reference's 3 × 3 neighbourhood is uniform the pixel copies it.
        const int rx = x - params.Dx, ry = y - params.Dy;
        const int v = ref.Get(rx, ry);
        bool uniform = true;
        for (int dy = -1; dy <= 1 && uniform; ++dy)
          for (int dx = -1; dx <= 1 && uniform; ++dx) uniform = ref.Get(rx + dx, ry + dy) == v;
        if (uniform) {
          out.Set(x, y, v);
          continue;
        }
      }
      if (ad.Decode(cx[RefinementContext(out, params, x, y)])) out.Set(x, y, 1);
    }
  }
}

}  // namespace kestrel::jbig2
