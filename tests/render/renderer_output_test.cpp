// RenderPageToStream: the page bitmap encoded by output format, and what happens when a page
// cannot be rendered.
#include <gtest/gtest.h>

#include "engine/access/document.h"
#include "engine/kestrel.h"
#include "engine/output/raster/bmp_writer.h"
#include "engine/output/page_output.h"
#include "support/pdf_builder.h"

namespace kestrel {
namespace {

struct TOpened {
  explicit TOpened(std::string pdf) : bytes(std::move(pdf)), link(TByteView(bytes), "") {}
  TSmartPDFDocument& Doc() { return *link.Document(); }
  TPDFIndRef* Page() { return link.Document()->FindPage(1); }
  std::string bytes;
  TSmartPDFLink link;
};

std::string Render(TOpened& doc, int format, std::string& problem, double dpi = 72,
                   const TOutputOptions& options = {}) {
  TBytes out;
  RenderPageToStream(doc.Doc(), *doc.Page(), static_cast<TOutputFormat>(format), problem, out, TGDIPlusSettings{}, 75,
                     dpi, nullptr, {}, options);
  return out;
}

std::string OnePage(const std::string& content, const std::string& media = "[0 0 100 50]") {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox " + media + " /Contents 4 0 R >>");
  b.Stream(4, "", content);
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

TEST(PageOutput, RasterFormatsHaveTheirSignatures) {
  TOpened doc(OnePage("1 0 0 rg 10 10 30 20 re f"));
  std::string problem;
  const std::string bmp = Render(doc, kFormatBMP, problem);
  EXPECT_TRUE(problem.empty()) << problem;
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  // 24 bits a pixel, 100 x 50: rows of 300 bytes (already a multiple of 4).
  EXPECT_EQ(bmp.size(), 54u + 300u * 50u);
  EXPECT_EQ(Render(doc, kFormatPNG, problem).substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(Render(doc, kFormatJPEG, problem).substr(0, 3), "\xFF\xD8\xFF");
  const std::string tiff = Render(doc, kFormatTIFF, problem);
  EXPECT_TRUE(tiff.substr(0, 4) == std::string("II*\0", 4) || tiff.substr(0, 4) == std::string("MM\0*", 4));
}

TEST(PageOutput, BmpHoldsTheDrawing) {
  TOpened doc(OnePage("0 0 1 rg 0 0 50 50 re f"));
  std::string problem;
  const std::string bmp = Render(doc, kFormatBMP, problem);
  ASSERT_EQ(bmp.size(), 54u + 300u * 50u);
  // Bottom row first, blue-green-red: the left half blue, the right half white.
  EXPECT_EQ(bmp.substr(54, 3), std::string("\xFF\x00\x00", 3));
  EXPECT_EQ(bmp.substr(54 + 3 * 99, 3), "\xFF\xFF\xFF");
}

TEST(PageOutput, UnknownFormatsProduceNothingAndSayWhy) {
  TOpened doc(OnePage("0 0 m 1 1 l S"));
  for (int format : {15, -1, 1000}) {
    std::string problem;
    EXPECT_TRUE(Render(doc, format, problem).empty()) << format;
    EXPECT_FALSE(problem.empty()) << format;
  }
}

TEST(PageOutput, PageOverThePixelLimitFailsCleanly) {
  TOpened doc(OnePage("0 0 m 1 1 l S", "[0 0 14400 14400]"));
  std::string problem;
  EXPECT_TRUE(Render(doc, kFormatPNG, problem, 480).empty());
  EXPECT_NE(problem.find("exceeds the limit"), std::string::npos) << problem;
}

TEST(PageOutput, PagesDrawnInBandsAreTheFilesDrawnWhole) {
  // Smoothed edges, text, a scaled image, a shading and transparency cross the edges of bands
  // of 7 rows; the content ends in an error, which each band meets and which is said once.
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 50] /Contents 4 0 R /Resources << "
              "/Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> "
              "/ExtGState << /G << /ca 0.5 >> >> /ColorSpace << /S [/Separation /X /DeviceGray 5 0 R] >> "
              "/Shading << /Sh << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 30 0] /Function "
              "<< /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >> >> >> >>");
  b.Stream(4, "",
           "q 0 0 30 50 re W n /Sh sh Q 0 0 1 rg 3 3 m 97 41 l 60 5 l f BT /F1 18 Tf 20 20 Td (Band) Tj ET "
           "q /G gs 0 1 0 rg 10 5 70 30 re f Q q 40 0 0 30 55 12 cm "
           "BI /W 2 /H 2 /CS /RGB /BPC 8 /F /AHx /I true ID ff000000ff000000ffffffff> EI Q /S cs 0 0 5 5 re f");
  b.Stream(5, "/FunctionType 4 /Domain [0 1] /Range [0 1]", "{ 0 div }");
  b.TrailerEntries("/Root 1 0 R");
  TOpened doc(b.Build());
  // Colour, gray and mono pages (mono ones diffused across the bands), opaque and transparent.
  const TColourMode rgb = TColourMode::kRGB, gray = TColourMode::kGray, mono = TColourMode::kMono;
  const struct {
    TOutputFormat Format;
    TColourMode Colour;
    bool Transparent;
  } cases[] = {{kFormatBMP, rgb, false},  {kFormatJPEG, rgb, false}, {kFormatPNG, rgb, false},
               {kFormatTIFF, rgb, false}, {kFormatPPM, rgb, false},  {kFormatBMP, gray, false},
               {kFormatJPEG, gray, false}, {kFormatPGM, rgb, false}, {kFormatPNG, mono, false},
               {kFormatTIFF, mono, false}, {kFormatPBM, rgb, false}, {kFormatPNG, gray, true},
               {kFormatTIFF, rgb, true},  {kFormatPAM, mono, true}};
  for (const auto& c : cases) {
    TOutputOptions options;
    options.Colour = c.Colour;
    options.Transparent = c.Transparent;
    std::string wholeProblem, bandProblem;
    const std::string whole = Render(doc, c.Format, wholeProblem, 150, options);
    TBytes banded;
    RenderPageInBands(doc.Doc(), *doc.Page(), c.Format, 7, bandProblem, banded, TGDIPlusSettings{}, 75, 150, nullptr,
                      {}, options);
    const std::string name = std::to_string(c.Format) + " " + std::to_string(int(c.Colour)) + " " +
                             std::to_string(c.Transparent);
    EXPECT_FALSE(whole.empty()) << name;
    EXPECT_TRUE(whole == banded) << name;
    EXPECT_EQ(bandProblem, wholeProblem) << name;
    EXPECT_EQ(bandProblem.rfind("Rendering exception: ", 0), 0u) << bandProblem;
  }
  // GIF and WebP take the whole page at once, and mono BMP rows go bottom up against the
  // dithering: a page past the pixel limit stays refused.
  TOpened large(OnePage("0 0 m 1 1 l S", "[0 0 2000 2000]"));
  TOutputOptions monoPages;
  monoPages.Colour = mono;
  for (const auto& [format, options] : {std::pair{kFormatGIF, TOutputOptions{}}, std::pair{kFormatWebP, TOutputOptions{}},
                                        std::pair{kFormatBMP, monoPages}}) {
    std::string problem;
    EXPECT_TRUE(Render(large, format, problem, 480, options).empty()) << format;
    EXPECT_NE(problem.find("exceeds the limit"), std::string::npos) << problem;
  }
}

TEST(PageOutput, ContentErrorStillGivesTheImage) {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 20 20] /Contents 4 0 R "
              "/Resources << /ColorSpace << /S [/Separation /X /DeviceGray 5 0 R] >> >> >>");
  b.Stream(4, "", "/S cs 0 0 5 5 re f");
  b.Stream(5, "/FunctionType 4 /Domain [0 1] /Range [0 1]", "{ 0 div }");
  b.TrailerEntries("/Root 1 0 R");
  TOpened doc(b.Build());
  std::string problem;
  const std::string png = Render(doc, kFormatPNG, problem);
  EXPECT_EQ(png.substr(0, 4), "\x89PNG");
  EXPECT_EQ(problem.rfind("Rendering exception: ", 0), 0u) << problem;
}

TEST(PageOutput, FacadeAndConversionReportTheRefusedPage) {
  TKestrel0725 engine;
  const std::string pdf = OnePage("0 0 m 1 1 l S", "[0 0 14400 14400]");
  TSmartPDFLink* handle = engine.OpenDocument(TByteView(pdf), "");
  ASSERT_NE(handle, nullptr);
  TBytes out;
  EXPECT_EQ(engine.RenderPageToStream(handle, engine.FindPage(handle, 1), out, 480, kFormatPNG), 1);
  EXPECT_TRUE(out.empty());
  EXPECT_NE(engine.LastRenderProblem.find("exceeds the limit"), std::string::npos);
}

}  // namespace
}  // namespace kestrel
