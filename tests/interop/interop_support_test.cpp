// The helpers the interop tests stand on.
#include <gtest/gtest.h>

#include "interop_support.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

namespace kestrel::interop {
namespace {

TEST(InteropSupport, PngOfAPageReadsBackAsTheRenderedPicture) {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 72 36] /Contents 4 0 R >>");
  b.Stream(4, "", "1 0 0 rg 0 0 36 36 re f");
  b.TrailerEntries("/Root 1 0 R");
  const std::string pdf = b.Build();
  testsupport::TempDir dir;
  const std::string path = dir.Write("page.png", ConvertFirstPage(pdf, 5, 72));
  const std::optional<TRgbImage> img = LoadPng(path);
  ASSERT_TRUE(img);
  ASSERT_EQ(img->Width, 72);
  ASSERT_EQ(img->Height, 36);
  EXPECT_EQ(img->At(10, 10)[0], 255);
  EXPECT_EQ(img->At(10, 10)[1], 0);
  EXPECT_EQ(img->At(60, 10)[1], 255);
  const TRgbImage half = Resample(*img, 36, 18);
  EXPECT_EQ(half.At(5, 5)[1], 0);
  EXPECT_EQ(half.At(30, 5)[1], 255);
}

TEST(InteropSupport, RunProgramReportsExitCodesAndOutput) {
  std::string out;
  EXPECT_EQ(RunProgram({"sh", "-c", "echo hello; exit 3"}, &out), 3);
  EXPECT_EQ(out, "hello\n");
  EXPECT_EQ(RunProgram({"no-such-program-plover"}), 127);
  EXPECT_EQ(RunProgram({"sleep", "5"}, nullptr, 1), -1);
}

}  // namespace
}  // namespace kestrel::interop
