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

std::string Render(TOpened& doc, int format, std::string& problem, double dpi = 72) {
  TBytes out;
  RenderPageToStream(doc.Doc(), *doc.Page(), static_cast<TOutputFormat>(format), problem, out, TGDIPlusSettings{}, 75, dpi);
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
