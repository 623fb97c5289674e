// Glyphs blended from cached coverage masks against the same glyphs filled as outlines, and
// the byte bound of the mask cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "engine/kestrel.h"
#include "engine/output/page_targets.h"
#include "engine/output/raster/raster_glyph_cache.h"
#include "engine/render/renderer.h"
#include "fonts/test_fonts.h"
#include "support/pdf_builder.h"

namespace kestrel::testing {
namespace {

std::optional<TRasterImage> RenderFirstPage(const std::string& pdf, double dpi,
                                            const TGDIPlusSettings& settings) {
  TSmartPDFLink link(TByteView(pdf), "");
  if (!link.Okay()) return std::nullopt;
  TSmartPDFDocument* doc = link.Document();
  TPDFIndRef* page = doc->FindPage(1);
  if (!page) return std::nullopt;
  TPDFRenderer renderer;
  renderer.Resolution = dpi;
  renderer.Settings = settings;
  renderer.PageDictionary = doc->PageDictionary(page);
  renderer.Resolver = [doc](TPDFIndRef* ref) { return doc->ResolveForRender(ref); };
  std::optional<TRasterImage> bitmap;
  if (!RenderPageBitmap(renderer, bitmap)) return std::nullopt;
  return bitmap;
}

// Text in many sizes, colours, an alpha, a clip, a turned line, the stroke mode and glyphs
// too large to keep, each repeated so that later copies come from the cache.
std::string TextPage(const std::string& font) {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 400] /Resources << /Font << "
              "/F1 10 0 R >> /ExtGState << /Half << /ca 0.5 >> >> >> /Contents 4 0 R >>");
  std::string content = "BT /F1 7 Tf 10 385 Td\n";
  for (const char* size : {"7", "9.5", "12", "17"}) {
    content += std::string("/F1 ") + size + " Tf 0 -22 Td (Quick brown fox jumps, quick brown fox.) Tj\n";
  }
  content +=
      "0.8 0 0 rg 0 -22 Td (Red red red red red) Tj q /Half gs 0 0 1 rg 0 -22 Td (Half half half) Tj Q\n"
      "ET q 60 150 120 40 re W n BT 0 g /F1 30 Tf 40 160 Td (Clipped glyphs) Tj ET Q\n"
      "BT /F1 14 Tf 0.866 0.5 -0.5 0.866 200 60 Tm (Turned turned turned) Tj ET\n"
      "BT /F1 24 Tf 0 0 0 rg 0 0 1 RG 1 Tr 10 110 Td (Stroked) Tj 0 Tr ET\n"
      "BT /F1 200 Tf 190 150 Td (Bg) Tj ET\n";
  b.Stream(4, "", content);
  b.Stream(20, "", font);
  b.Object(10, "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /Encoding "
               "/WinAnsiEncoding /FirstChar 32 /LastChar 126 /Widths [" +
                   [] {
                     std::string w;
                     for (int c = 32; c <= 126; ++c) w += "600 ";
                     return w;
                   }() +
                   "] /FontDescriptor 30 0 R >>");
  b.Object(30, "<< /Type /FontDescriptor /FontName /DejaVuSans /Flags 32 /FontBBox "
               "[0 -200 1000 900] /ItalicAngle 0 /Ascent 900 /Descent -200 /CapHeight 700 "
               "/StemV 80 /FontFile2 20 0 R >>");
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

TEST(GlyphCache, MasksMatchOutlineFills) {
  const std::string font = ReadFileBytes(kDejaVuSans);
  REQUIRE_FONT(font);
  const std::string pdf = TextPage(font);
  struct TCase {
    double dpi;
    bool antialias;
  };
  for (const TCase c : {TCase{96, true}, TCase{300, true}}) {
    SCOPED_TRACE(std::to_string(c.dpi) + (c.antialias ? " dpi smooth" : " dpi aliased"));
    TGDIPlusSettings on, off;
    on.AntiAlias = off.AntiAlias = c.antialias;
    off.CacheGlyphs = false;
    const auto cached = RenderFirstPage(pdf, c.dpi, on);
    const auto filled = RenderFirstPage(pdf, c.dpi, off);
    ASSERT_TRUE(cached && filled);
    ASSERT_EQ(cached->Width(), filled->Width());
    ASSERT_EQ(cached->Height(), filled->Height());
    // Masks are the coverage a fill gives; only pixels where two glyphs of one string meet
    // (blended one after the other instead of filled as one path) and the turned line in the
    // lower half (its origins moved to the nearest quarter pixel) may differ.
    long ink = 0, differing = 0, upper = 0, far = 0;
    int worst = 0;
    for (int y = 0; y < cached->Height(); ++y) {
      for (int x = 0; x < cached->Width(); ++x) {
        const TRgbPixel a = cached->Pixel(x, y), b = filled->Pixel(x, y);
        int d = 0;
        for (int shift : {0, 8, 16})
          d = std::max(d, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
        ink += (b & 0xFFFFFF) != 0xFFFFFF;
        differing += d > 2;
        if (d > 2 && y < cached->Height() / 2) ++upper;
        far += d > 48;
        worst = std::max(worst, d);
      }
    }
    EXPECT_GT(ink, 10000);
    EXPECT_GT(differing, 0) << "no glyph came from a mask";
    EXPECT_LT(upper, ink / 100);
    EXPECT_LT(differing, ink / 20) << "worst " << worst;
    EXPECT_LT(far, ink / 1000) << "worst " << worst;
  }
}

TEST(GlyphCache, KeepsWithinItsBudgetDroppingTheLeastRecentlyUsed) {
  using picasso::TGlyphMaskKey;
  picasso::TByteBoundedCache<TGlyphMaskKey, int, picasso::TGlyphMaskKeyHash> cache(1000);
  auto key = [](int glyph) {
    TGlyphMaskKey k;
    const std::string name = "g" + std::to_string(glyph);
    EXPECT_TRUE(picasso::MakeGlyphMaskKey(TGlyphKey{7, name, {0.01, 0, 0, 0.01, 0, 0}}, 1, 0,
                                          true, k));
    return k;
  };
  for (int g = 0; g < 4; ++g) cache.Insert(key(g), g, 300);
  EXPECT_EQ(cache.Count(), 3u);  // the first left for the fourth
  EXPECT_EQ(cache.Find(key(0)), nullptr);
  ASSERT_NE(cache.Find(key(1)), nullptr);  // now the most recently used
  cache.Insert(key(4), 4, 300);
  EXPECT_NE(cache.Find(key(1)), nullptr);
  EXPECT_EQ(cache.Find(key(2)), nullptr);
  EXPECT_LE(cache.Bytes(), 1000u);
  ASSERT_NE(cache.Find(key(4)), nullptr);
  EXPECT_EQ(*cache.Find(key(4)), 4);
  // Glyphs too large for a mask, and a phase or matrix apart, are other keys or none.
  TGlyphMaskKey k;
  EXPECT_FALSE(picasso::MakeGlyphMaskKey(TGlyphKey{7, "g1", {0.3, 0, 0, 0.3, 0, 0}}, 0, 0, true, k));
  ASSERT_TRUE(picasso::MakeGlyphMaskKey(TGlyphKey{7, "g1", {0.01, 0, 0, 0.01, 0, 0}}, 2, 0, true, k));
  EXPECT_FALSE(k == key(1));
}

}  // namespace
}  // namespace kestrel::testing
