// Output format 8 through the page output: an EMF+ only metafile of the page.
#include <gtest/gtest.h>

#include <string>

#include "engine/access/document.h"
#include "engine/kestrel.h"
#include "engine/output/emfplus/emfplus_writer.h"
#include "engine/output/page_output.h"
#include "output/emfplus_reader.h"
#include "support/pdf_builder.h"

namespace kestrel {
namespace {

std::string OnePage(const std::string& box, const std::string& content,
                    const std::string& extra = "") {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [" + box + "] /Contents 4 0 R " + extra +
                  ">>");
  b.Stream(4, "", content);
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

TBytes Convert(const std::string& pdf, double dpi, std::string& problem) {
  TSmartPDFLink link(TByteView(pdf), "");
  EXPECT_TRUE(link.Okay());
  if (!link.Okay()) return {};
  TSmartPDFDocument* doc = link.Document();
  TPDFIndRef* page = doc->FindPage(1);
  EXPECT_NE(page, nullptr);
  if (!page) return {};
  TBytes out = "prefix";
  RenderPageToStream(*doc, *page, kFormatEMFPlus, problem, out, TGDIPlusSettings{}, 75, dpi);
  EXPECT_EQ(out.substr(0, 6), "prefix");  // appended, never replacing
  return out.substr(6);
}

TEST(EmfPlusPage, LetterPageAt96DpiRecordsAn816By1056Metafile) {
  std::string problem;
  const TBytes bytes = Convert(OnePage("0 0 612 792", "1 0 0 rg 72 72 144 144 re f"), 96, problem);
  EXPECT_EQ(problem, "");
  std::string error;
  const auto f = emfplustest::ReadEmfPlus(bytes, &error);
  ASSERT_TRUE(f) << error;
  EXPECT_EQ(f->Bounds[2], 815);
  EXPECT_EQ(f->Bounds[3], 1055);
  // The rectangle: 96 to 288 pixels across, and from the top 1056 - 288 to 1056 - 96.
  std::optional<emfplustest::TPlusPath> path;
  for (const auto& r : f->Plus) {
    if (r.Type == emfplus::kObject && (r.Flags >> 8) == emfplus::kObjectPath) {
      path = emfplustest::ReadPath(r.Data);
    }
  }
  ASSERT_TRUE(path);
  float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
  for (auto [x, y] : path->Points) {
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
  EXPECT_FLOAT_EQ(minX, 96);
  EXPECT_FLOAT_EQ(maxX, 288);
  EXPECT_FLOAT_EQ(minY, 768);
  EXPECT_FLOAT_EQ(maxY, 960);
  bool filledRed = false;
  for (const auto& r : f->Plus) {
    if (r.Type == emfplus::kFillPath) filledRed = emfplustest::Get32(r.Data, 0) == 0xFFFF0000u;
  }
  EXPECT_TRUE(filledRed);
  // No background: nothing else is painted.
  std::size_t fills = 0;
  for (const auto& r : f->Plus) fills += r.Type == emfplus::kFillPath;
  EXPECT_EQ(fills, 1u);
}

TEST(EmfPlusPage, SizeIsTheCeilingOfPointsTimesDpiOver72AndFollowsRotation) {
  std::string problem;
  const TBytes bytes = Convert(OnePage("0 0 100.5 50", "", "/Rotate 90"), 72, problem);
  const auto f = emfplustest::ReadEmfPlus(bytes);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Bounds[2] + 1, 50);
  EXPECT_EQ(f->Bounds[3] + 1, 101);
}

TEST(EmfPlusPage, ContentErrorStillGivesACompleteFileAndAText) {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 20 20] /Contents 4 0 R "
              "/Resources << /ColorSpace << /S [/Separation /X /DeviceGray 5 0 R] >> >> >>");
  // The fill before the failing colour space is kept; the one after it is not drawn.
  b.Stream(4, "", "0 0 1 rg 0 0 5 5 re f /S cs 0 0 5 5 re f");
  b.Stream(5, "/FunctionType 4 /Domain [0 1] /Range [0 1]", "{ 0 div }");
  b.TrailerEntries("/Root 1 0 R");
  std::string problem;
  const TBytes bytes = Convert(b.Build(), 96, problem);
  EXPECT_EQ(problem.rfind("Rendering exception: ", 0), 0u) << problem;
  const auto f = emfplustest::ReadEmfPlus(bytes);
  ASSERT_TRUE(f);
  std::size_t fills = 0;
  for (const auto& r : f->Plus) fills += r.Type == emfplus::kFillPath;
  EXPECT_EQ(fills, 1u);
}

TEST(EmfPlusPage, AbsurdPageSizeWritesNothingAndSaysWhy) {
  std::string problem;
  const TBytes bytes = Convert(OnePage("0 0 2000000 100", "0 0 m 10 10 l S"), 96, problem);
  EXPECT_TRUE(bytes.empty());
  EXPECT_NE(problem.find("not usable"), std::string::npos);
}

}  // namespace
}  // namespace kestrel
