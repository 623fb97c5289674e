// Fonts that are not embedded, rendered by Kestrel and by pdftoppm: every line of text must
// span the same width (the widths are right); glyph shapes may differ where the installed
// stand-ins differ.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "render/pixel_compare.h"
#include "support/pdf_builder.h"

namespace kestrel::testing {
namespace {

constexpr double kPageHeight = 760;
constexpr double kDpi = 100;

struct TLine {
  std::string FontDict;  // the font dictionary
  std::string Text = "(The quick brown fox jumps over 0123 ABCDEF) Tj";
  int RightSlack = 3;  // pixels the right ends of the ink may differ by
};

// One line per font, 16 points, baselines 50 points apart from the top.
std::string LinesPage(const std::vector<TLine>& lines) {
  testpdf::PdfBuilder b;
  std::string fonts, content = "BT\n";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int num = 10 + static_cast<int>(i);
    fonts += "/F" + std::to_string(i) + " " + std::to_string(num) + " 0 R ";
    content += "/F" + std::to_string(i) + " 16 Tf 1 0 0 1 20 " +
               std::to_string(730 - 50 * static_cast<int>(i)) + " Tm " + lines[i].Text + "\n";
    b.Object(num, lines[i].FontDict);
  }
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 500 760] /Resources << /Font << " +
                  fonts + ">> >> /Contents 4 0 R >>");
  b.Stream(4, "", content + "ET\n");
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

struct TExtent {
  int Left = -1, Right = -1;  // ink columns; -1 without ink
};

// The ink of the band around line i's baseline.
TExtent InkOfLine(const TRgbImage& image, int i) {
  const double scale = kDpi / 72;
  const double baseline = 730 - 50.0 * i;
  const int top = static_cast<int>((kPageHeight - baseline - 25) * scale);
  const int bottom = static_cast<int>((kPageHeight - baseline + 12) * scale);
  TExtent e;
  for (int y = std::max(top, 0); y < std::min(bottom, image.Height); ++y) {
    for (int x = 0; x < image.Width; ++x) {
      const std::uint8_t* p = image.At(x, y);
      if (p[0] > 160 && p[1] > 160 && p[2] > 160) continue;
      if (e.Left < 0 || x < e.Left) e.Left = x;
      e.Right = std::max(e.Right, x);
    }
  }
  return e;
}

void ExpectSameLineLengths(const std::vector<TLine>& lines, const std::string& name) {
  const std::string pdf = LinesPage(lines);
  std::string problem;
  const auto ours = RenderWithKestrel(pdf, kDpi, &problem);
  const auto reference = RenderWithPdftoppm(pdf, kDpi);
  ASSERT_TRUE(ours && reference) << problem;
  if (std::getenv("PLOVER_KEEP_PIXELS")) {
    WritePng(*ours, "/tmp/" + name + "-kestrel.png");
    WritePng(*reference, "/tmp/" + name + "-pdftoppm.png");
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const TExtent a = InkOfLine(*ours, static_cast<int>(i));
    const TExtent b = InkOfLine(*reference, static_cast<int>(i));
    SCOPED_TRACE(name + ": " + lines[i].FontDict);
    ASSERT_GE(a.Left, 0) << "no ink";
    ASSERT_GE(b.Left, 0) << "no ink in the reference";
    EXPECT_NEAR(a.Left, b.Left, 2);
    EXPECT_NEAR(a.Right, b.Right, lines[i].RightSlack);
  }
}

class SubstituteFontPixels : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PdftoppmAvailable()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
  }
};

TEST_F(SubstituteFontPixels, TheFourteenStandardFonts) {
  std::vector<TLine> lines;
  for (const char* font :
       {"Courier", "Courier-Bold", "Courier-BoldOblique", "Courier-Oblique", "Helvetica",
        "Helvetica-Bold", "Helvetica-BoldOblique", "Helvetica-Oblique", "Times-Roman",
        "Times-Bold", "Times-Italic", "Times-BoldItalic", "Symbol", "ZapfDingbats"}) {
    lines.push_back({std::string("<< /Type /Font /Subtype /Type1 /BaseFont /") + font + " >>"});
  }
  // The same text through WinAnsiEncoding, and Symbol and ZapfDingbats with Differences.
  lines.push_back({"<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman /Encoding "
                   "/WinAnsiEncoding >>",
                   "(Na\\357ve caf\\351 \\200 \\226 \\223quoted\\224 \\251 \\337) Tj"});
  ExpectSameLineLengths(lines, "standard");
}

TEST_F(SubstituteFontPixels, NamesOfInstalledFonts) {
  const std::string tt = "<< /Type /Font /Subtype /TrueType /Encoding /WinAnsiEncoding ";
  auto descriptor = [](const std::string& name, int flags) {
    return "/FontDescriptor << /Type /FontDescriptor /FontName /" + name +
           " /Flags " + std::to_string(flags) +
           " /FontBBox [0 -200 1000 900] /ItalicAngle 0 /Ascent 900 /Descent -200 "
           "/CapHeight 700 /StemV 80 >>";
  };
  std::vector<TLine> lines;
  for (const char* name : {"Arial-BoldMT", "ArialMT", "Arial,BoldItalic",
                           "CourierNewPS-BoldMT", "TimesNewRomanPS-ItalicMT",
                           "TimesNewRoman,Bold", "Helvetica-Oblique"}) {
    lines.push_back({tt + "/BaseFont /" + name + " " + descriptor(name, 32) + " >>"});
  }
  // Installed TrueType fonts (fontconfig's own dependencies), one in a collection file, drawn
  // by the engine's TrueType code. Without Widths pdftoppm advances by standard-font widths,
  // so the widths are given; it also squeezes each glyph to its width, which moves the right
  // edge of the last glyph.
  const std::string widths = "/FirstChar 32 /LastChar 126 /Widths [" + [] {
    std::string w;
    for (int i = 32; i <= 126; ++i) w += "560 ";
    return w;
  }() + "]";
  for (const char* name : {"DejaVuSans-Bold", "WenQuanYiMicroHei"})
    lines.push_back({tt + "/BaseFont /" + name + " " + widths + " " + descriptor(name, 32) + " >>",
                     TLine{}.Text, 8});
  // Names that nothing installed matches fall back by the descriptor flags.
  lines.push_back({tt + "/BaseFont /Unknown-Font " + descriptor("Unknown-Font", 34) + " >>"});
  lines.push_back({tt + "/BaseFont /Unknown-Mono " + descriptor("Unknown-Mono", 33) + " >>"});
  // A symbolic font: codes go through the symbol cmap.
  lines.push_back({"<< /Type /Font /Subtype /TrueType /BaseFont /Symbol " +
                       descriptor("Symbol", 4) + " >>",
                   "(\\(a\\)\"#$%&'+<=>?@abcdefghij) Tj"});
  // A Japanese CID font that is not embedded: its CIDs are drawn by their Unicode text in an
  // installed font that covers Japanese.
  lines.push_back({"<< /Type /Font /Subtype /Type0 /BaseFont /MS-Gothic /Encoding /90ms-RKSJ-H "
                   "/DescendantFonts [<< /Type /Font /Subtype /CIDFontType2 /BaseFont /MS-Gothic "
                   "/CIDSystemInfo << /Registry (Adobe) /Ordering (Japan1) /Supplement 2 >> "
                   "/DW 1000 " + descriptor("MS-Gothic", 4) + " >>] >>",
                   "<82A082A282A482A682A8> Tj", 8});
  ExpectSameLineLengths(lines, "names");
}

}  // namespace
}  // namespace kestrel::testing
