// Text pages rendered by Kestrel and by pdftoppm and compared pixel by pixel (tolerance in
// pixel_compare.h): embedded TrueType fonts of every cmap kind, a composite font, Type 3
// fonts, the text state and the render modes.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/fonts/truetype_parser.h"
#include "fonts/test_fonts.h"
#include "pixel_compare.h"
#include "support/pdf_builder.h"

namespace kestrel::testing {
namespace {

// Widths of codes 32-255 from the font's own metrics, codes taken as Unicode values.
std::string Widths(const std::string& font) {
  TPDFTrueTypeParser p;
  p.LoadFromBytes(font);
  const TPDFTTEncodingRecord* cmap = p.CmapSubtable(p.FindCmapSubtable(3, 1));
  std::string out = "/FirstChar 32 /LastChar 255 /Widths [";
  for (int c = 32; c < 256; ++c) {
    int glyph = 0;
    for (std::size_t i = 0; cmap && i < cmap->Codes.size(); ++i)
      if (cmap->Codes[i] == c) glyph = cmap->Glyphs[i];
    out += std::to_string(p.AdvanceWidth(glyph)) + " ";
  }
  return out + "]";
}

int GlyphOf(const std::string& font, int unicode) {
  TPDFTrueTypeParser p;
  p.LoadFromBytes(font);
  const TPDFTTEncodingRecord* cmap = p.CmapSubtable(p.FindCmapSubtable(3, 1));
  for (std::size_t i = 0; cmap && i < cmap->Codes.size(); ++i)
    if (cmap->Codes[i] == unicode) return cmap->Glyphs[i];
  return 0;
}

// A CIDToGIDMap sending CIDs 1, 2, 3 to the font's glyphs of K, i, w.
std::string KiwMap(const std::string& font) {
  std::string map(8, '\0');
  int cid = 1;
  for (int u : {'K', 'i', 'w'}) {
    const int g = GlyphOf(font, u);
    map[2 * cid] = static_cast<char>(g >> 8), map[2 * cid + 1] = static_cast<char>(g & 0xFF);
    ++cid;
  }
  return map;
}

std::string Descriptor(int flags, int fileKey) {
  return "<< /Type /FontDescriptor /FontName /Test /Flags " + std::to_string(flags) +
         " /FontBBox [0 -200 1000 900] /ItalicAngle 0 /Ascent 900 /Descent -200 /CapHeight 700"
         " /StemV 80 /FontFile2 " + std::to_string(fileKey) + " 0 R >>";
}

class TextPixels : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PdftoppmAvailable()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
  }
  std::string Build(const std::string& content, const std::string& fonts) {
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] /Resources << /Font << " +
                    fonts + " >> >> /Contents 4 0 R >>");
    b.Stream(4, "", content);
    b.TrailerEntries("/Root 1 0 R");
    return b.Build();
  }
  void Check(const std::string& pdf, const std::string& name) {
    bool ok = true;
    for (double dpi : {72.0, 150.0}) {
      const auto result = MatchesPdftoppm(pdf, dpi, name);
      EXPECT_TRUE(result);
      ok = ok && result;
    }
    // The page itself beside the pictures, to look into a failure.
    if (!ok) std::ofstream("/tmp/plover-pixels/" + name + ".pdf", std::ios::binary) << pdf;
  }
  testpdf::PdfBuilder b;
};

TEST_F(TextPixels, TrueTypeFontsAndTextState) {
  const std::string sans = ReadFileBytes(kDejaVuSans);
  const std::string& subset = TestFont("dejavu-subset.ttf");
  const std::string& symbol = TestFont("shapes-symbol.ttf");
  const std::string& mac = TestFont("shapes-mac.ttf");
  REQUIRE_FONT(sans);
  REQUIRE_FONT(subset);
  // F1: the full font, WinAnsiEncoding; F2: a subset marked symbolic (codes through its (3,1)
  // cmap); F3: symbolic with a (3,0) cmap; F4: a (1,0) cmap only, MacRomanEncoding; F5:
  // Identity-H with a CIDToGIDMap and W widths.
  std::string zeros;
  for (int c = 68; c < 231; ++c) zeros += " 0";
  b.Stream(20, "", sans).Stream(21, "", subset).Stream(22, "", symbol).Stream(23, "", mac);
  b.Object(10, "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /Encoding "
               "/WinAnsiEncoding " + Widths(sans) + " /FontDescriptor 30 0 R >>");
  b.Object(11, "<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+DejaVuSans " +
                   Widths(subset) + " /FontDescriptor 31 0 R >>");
  b.Object(12, "<< /Type /Font /Subtype /TrueType /BaseFont /Shapes /FirstChar 65 /LastChar 70 "
               "/Widths [700 700 700 700 700 700] /FontDescriptor 32 0 R >>");
  b.Object(13, "<< /Type /Font /Subtype /TrueType /BaseFont /Shapes /Encoding /MacRomanEncoding "
               "/FirstChar 65 /LastChar 231 /Widths [700 700 700" + zeros + " 700] /FontDescriptor 33 0 R >>");
  b.Object(14, "<< /Type /Font /Subtype /Type0 /BaseFont /DejaVuSans /Encoding /Identity-H "
               "/DescendantFonts [15 0 R] >>");
  b.Object(15, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /DejaVuSans /CIDSystemInfo << "
               "/Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor 30 0 R "
               "/DW 700 /W [1 [650 300] 3 3 900] /CIDToGIDMap 16 0 R >>");
  b.Stream(16, "", KiwMap(sans));
  b.Object(30, Descriptor(32, 20)).Object(31, Descriptor(4, 21));
  b.Object(32, Descriptor(4, 22)).Object(33, Descriptor(32, 23));
  const std::string content =
      "BT /F1 18 Tf 10 270 Td (Hello, World! \\(\\200\\)) Tj\n"
      "0 -24 Td 1 0 0 rg [(A) 300 (V) -200 (AWAY) 120 (To)] TJ\n"
      "0 -24 Td 0 0 1 rg 2 Tc 6 Tw 130 Tz (Spaced words) Tj 0 Tc 0 Tw 100 Tz\n"
      "0 -24 Td 0 g (x) Tj 6 Ts (2) Tj -4 Ts (i) Tj 0 Ts\n"
      "0 -30 Td /F1 28 Tf 0.2 0.6 0.2 rg 0 0 0 RG 0.8 w 1 Tr (Out) Tj 2 Tr (Both) Tj 3 Tr (Gone) Tj 0 Tr\n"
      "ET BT 1 0 0 1 10 130 Tm /F2 20 Tf 0.5 0 0.5 rg (Hello World) Tj ET\n"
      "BT /F3 30 Tf 10 90 Td 0 0 0.6 rg (ABCDE) Tj ET\n"
      "BT /F4 16 Tf 10 50 Td 0.6 0 0 rg (AB\\347) Tj ET\n"
      "BT /F5 24 Tf 160 50 Td 0 g <000100020003000200010004> Tj ET\n"
      "BT /F1 14 Tf 0.866 0.5 -0.5 0.866 200 120 Tm (Turned) Tj ET\n";
  Check(Build(content, "/F1 10 0 R /F2 11 0 R /F3 12 0 R /F4 13 0 R /F5 14 0 R"), "text-truetype");
}

TEST_F(TextPixels, VerticalWriting) {
  const std::string sans = ReadFileBytes(kDejaVuSans);
  REQUIRE_FONT(sans);
  // Identity-V: F1 with W2 and DW2 entries, F2 with the default vertical metrics; position
  // vectors, vertical advances, TJ adjustments and character spacing.
  b.Stream(20, "", sans);
  b.Object(10, "<< /Type /Font /Subtype /Type0 /BaseFont /DejaVuSans /Encoding /Identity-V "
               "/DescendantFonts [11 0 R] >>");
  b.Object(11, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /DejaVuSans /CIDSystemInfo << "
               "/Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor 30 0 R "
               "/DW 700 /W [1 [650 300]] /DW2 [900 -1100] /W2 [3 [-800 350 700]] "
               "/CIDToGIDMap 13 0 R >>");
  b.Object(12, "<< /Type /Font /Subtype /Type0 /BaseFont /DejaVuSans /Encoding /Identity-V "
               "/DescendantFonts [14 0 R] >>");
  b.Object(14, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /DejaVuSans /CIDSystemInfo << "
               "/Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor 30 0 R "
               "/CIDToGIDMap 13 0 R >>");
  b.Stream(13, "", KiwMap(sans));
  b.Object(30, Descriptor(32, 20));
  const std::string content =
      "BT /F1 24 Tf 60 280 Td <0001000200030001> Tj [<0002> 500 <0003>] TJ 3 Tc <00010002> Tj ET\n"
      "BT /F2 30 Tf 0 0 1 rg 180 280 Td <000100020003> Tj [<0001> -300 <0002>] TJ ET\n";
  Check(Build(content, "/F1 10 0 R /F2 12 0 R"), "text-vertical");
}

TEST_F(TextPixels, Type3FontsAndClipping) {
  const std::string sans = ReadFileBytes(kDejaVuSans);
  REQUIRE_FONT(sans);
  // A Type 3 font: a coloured glyph (d0), an uncoloured one (d1) and one showing text in
  // another font; codes through Differences. Then text clipping: mode 7 clips a rectangle to
  // the glyphs of two strings at once, mode 5 strokes and clips.
  b.Object(10, "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] /FontMatrix "
               "[0.001 0 0 0.001 0 0] /CharProcs << /sq 11 0 R /tri 12 0 R /txt 13 0 R >> "
               "/Encoding << /Type /Encoding /Differences [65 /sq /tri /txt] >> /FirstChar 65 "
               "/LastChar 67 /Widths [1000 800 1200] /Resources << /Font << /T 20 0 R >> >> >>");
  b.Stream(11, "", "1000 0 d0 1 0 0 rg 100 0 800 800 re f");
  b.Stream(12, "", "800 0 0 0 800 800 d1 1 0 0 rg 0 0 m 400 800 l 800 0 l f");
  b.Stream(13, "", "1200 0 d0 BT /T 900 Tf 0 100 Td (ab) Tj ET");
  b.Stream(21, "", sans);
  b.Object(20, "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /Encoding "
               "/WinAnsiEncoding " + Widths(sans) + " /FontDescriptor 22 0 R >>");
  b.Object(22, Descriptor(32, 21));
  const std::string content =
      "BT /T3 30 Tf 10 250 Td 0 0 1 rg (ABCBA) Tj 0 -40 Td [(AB) -500 (C)] TJ 0.5 0 0 1 150 210 Tm (AB) Tj ET\n"
      "q BT /T 60 Tf 7 Tr 10 120 Td (Clip) Tj 0 -60 Td (Text) Tj ET 0 0.5 0 rg 0 0 300 200 re f Q\n"
      "q BT /T 50 Tf 5 Tr 1 0 0 RG 2 w 170 130 Td (Ok) Tj ET 0 0 1 rg 150 100 150 60 re f Q\n"
      "0.8 0 0 rg 250 20 40 40 re f\n";
  Check(Build(content, "/T3 10 0 R /T 20 0 R"), "text-type3-clip");
}

}  // namespace
}  // namespace kestrel::testing
