// Page set-up: box, rotation, size, the page matrix, and the page bitmap.
#include <gtest/gtest.h>

#include "renderer_test_support.h"

namespace kestrel::testing {
namespace {

TPageGeometry Geometry(const std::string& pageEntries, double dpi) {
  TRendererFixture f;
  f.renderer.Resolution = dpi;
  f.renderer.PageDictionary = As<TPDFDictionary>(f.Add(1, "<< " + pageEntries + " >>"));
  return f.renderer.PageGeometry();
}

TEST(RendererPage, A4At96DpiRoundsUp) {
  const TPageGeometry g = Geometry("/MediaBox [0 0 595 842]", 96);
  EXPECT_EQ(g.PixelWidth, 794);
  EXPECT_EQ(g.PixelHeight, 1123);
  const TPageGeometry r = Geometry("/MediaBox [0 0 595 842] /Rotate 90", 96);
  EXPECT_EQ(r.PixelWidth, 1123);
  EXPECT_EQ(r.PixelHeight, 794);
  // Exact sizes are not rounded up.
  EXPECT_EQ(Geometry("/MediaBox [0 0 612 792]", 72).PixelWidth, 612);
}

TEST(RendererPage, RotationIsNormalised) {
  EXPECT_EQ(Geometry("/Rotate -90", 72).Rotation, 270);
  EXPECT_EQ(Geometry("/Rotate 45", 72).Rotation, 0);
  EXPECT_EQ(Geometry("/Rotate 100", 72).Rotation, 90);
  EXPECT_EQ(Geometry("/Rotate 450", 72).Rotation, 90);
  const int huge = Geometry("/Rotate 99999999999999999999", 72).Rotation;
  EXPECT_TRUE(huge == 0 || huge == 90 || huge == 180 || huge == 270) << huge;
  EXPECT_EQ(Geometry("/Rotate /Ninety", 72).Rotation, 0);
}

TEST(RendererPage, RotatedPageMapsLowerLeftToTopLeft) {
  const TPageGeometry g = Geometry("/MediaBox [0 0 200 100] /Rotate 90", 72);
  const TPDFPoint p = TransformPoint(g.PageMatrix, 0, 0);
  EXPECT_NEAR(p.x, 0, 1e-9);
  EXPECT_NEAR(p.y, 0, 1e-9);
  const TPageGeometry h = Geometry("/MediaBox [0 0 200 100] /Rotate 180", 72);
  const TPDFPoint q = TransformPoint(h.PageMatrix, 0, 0);
  EXPECT_NEAR(q.x, 200, 1e-9);
  EXPECT_NEAR(q.y, 0, 1e-9);
  const TPageGeometry k = Geometry("/MediaBox [0 0 200 100] /Rotate 270", 72);
  const TPDFPoint s = TransformPoint(k.PageMatrix, 0, 0);
  EXPECT_NEAR(s.x, 100, 1e-9);
  EXPECT_NEAR(s.y, 200, 1e-9);
}

TEST(RendererPage, BoxesAreNormalisedAndFallBack) {
  TPageGeometry g = Geometry("/MediaBox [612 792 0 0]", 72);
  EXPECT_EQ(g.Llx, 0);
  EXPECT_EQ(g.Ury, 792);
  g = Geometry("/MediaBox [0 0 oops 5]", 72);
  EXPECT_EQ(g.PixelWidth, 612);
  EXPECT_EQ(g.PixelHeight, 792);
  g = Geometry("", 72);
  EXPECT_EQ(g.PixelWidth, 612);
  g = Geometry("/MediaBox [5 5 5 100]", 72);  // an empty box is drawn as US Letter
  EXPECT_EQ(g.PixelWidth, 612);
  EXPECT_EQ(g.PixelHeight, 792);
  // The crop box within the media box; a crop box outside it is used as it is.
  g = Geometry("/MediaBox [0 0 100 100] /CropBox [50 -20 150 80]", 72);
  EXPECT_EQ(g.Llx, 50);
  EXPECT_EQ(g.Lly, 0);
  EXPECT_EQ(g.PixelWidth, 50);
  EXPECT_EQ(g.PixelHeight, 80);
  g = Geometry("/MediaBox [0 0 100 100] /CropBox [200 200 300 250]", 72);
  EXPECT_EQ(g.Llx, 200);
  EXPECT_EQ(g.PixelHeight, 50);
}

TEST(RendererPage, BoxIsInheritedFromTheParent) {
  TRendererFixture f;
  f.Add(1, "<< /Type /Pages /MediaBox [0 0 300 400] /Rotate 90 >>");
  f.renderer.PageDictionary = As<TPDFDictionary>(f.Add(2, "<< /Type /Page /Parent 1 0 R >>"));
  const TPageGeometry g = f.renderer.PageGeometry();
  EXPECT_EQ(g.PixelWidth, 400);
  EXPECT_EQ(g.PixelHeight, 300);
}

TEST(RendererPage, ParentCycleEnds) {
  TRendererFixture f;
  f.Add(1, "<< /Parent 2 0 R >>");
  f.Add(2, "<< /Parent 1 0 R >>");
  f.renderer.PageDictionary = As<TPDFDictionary>(f.objects[1]);
  EXPECT_EQ(f.renderer.LookupInherited(f.renderer.PageDictionary, "MediaBox"), nullptr);
}

TEST(RendererPage, BitmapStartsWhiteAndHoldsTheDrawing) {
  TRendererFixture f;
  f.AddStream(5, "<< >>", "1 0 0 rg 0 0 10 10 re f");
  f.renderer.PageDictionary = As<TPDFDictionary>(f.Add(6, "<< /MediaBox [0 0 40 20] /Contents 5 0 R >>"));
  ASSERT_TRUE(f.RenderPage());
  const TRasterImage* bmp = f.Bitmap();
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->Width(), 40);
  EXPECT_EQ(bmp->Height(), 20);
  EXPECT_EQ(bmp->Pixel(30, 5), 0xFFFFFFu);
  EXPECT_EQ(bmp->Pixel(5, 15), 0xFF0000u);  // lower left, red (0x00RRGGBB in the raster)
  EXPECT_TRUE(f.renderer.ErrorText().empty());
}

TEST(RendererPage, PlainModeWithoutTheLibraryStillDraws) {
  TRendererFixture f;
  f.renderer.Settings.UseLibrary = false;
  f.AddStream(5, "<< >>", "0 0 1 rg 0 0 10 10 re f");
  f.renderer.PageDictionary = As<TPDFDictionary>(f.Add(6, "<< /MediaBox [0 0 40 20] /Contents 5 0 R >>"));
  ASSERT_TRUE(f.RenderPage());
  EXPECT_EQ(f.Bitmap()->Pixel(5, 15), 0x0000FFu);
  EXPECT_EQ(f.Bitmap()->Pixel(30, 5), 0xFFFFFFu);
}

TEST(RendererPage, MissingContentsGiveAWhitePage) {
  TRendererFixture f;
  f.renderer.PageDictionary = As<TPDFDictionary>(f.Add(6, "<< /MediaBox [0 0 8 8] >>"));
  ASSERT_TRUE(f.RenderPage());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(f.Bitmap()->Pixel(x, y), 0xFFFFFFu);
}

TEST(RendererPage, PageBeyondThePixelLimitIsRefusedBeforeAllocating) {
  TRendererFixture f;
  // 200 inches square at 480 dpi: 96000 pixels a side, 9.2 gigapixels.
  f.renderer.Resolution = 480;
  f.renderer.PageDictionary = As<TPDFDictionary>(f.Add(6, "<< /MediaBox [0 0 14400 14400] >>"));
  EXPECT_FALSE(f.RenderPage());
  EXPECT_EQ(f.Bitmap(), nullptr);
  EXPECT_NE(f.renderer.ErrorText().find("exceeds the limit"), std::string::npos)
      << f.renderer.ErrorText();
  // Absurd boxes and resolutions are refused the same way, without overflow.
  f.renderer.Resolution = 1e300;
  EXPECT_FALSE(f.RenderPage());
  f.renderer.Resolution = -96;
  EXPECT_FALSE(f.RenderPage());
  EXPECT_NE(f.renderer.ErrorText().find("empty"), std::string::npos);
}

TEST(RendererPage, ExceptionStopsThePageAndKeepsTheDrawing) {
  TRendererFixture f;
  // A calculator function that divides by zero is the third operator's undoing.
  f.AddStream(7, "<< /FunctionType 4 /Domain [0 1] /Range [0 1] >>", "{ 0 div }");
  f.Add(8, "<< /ColorSpace << /Bad [/Separation /X /DeviceGray 7 0 R] >> >>");
  const std::string content = "1 0 0 rg 0 0 10 10 re f /Bad cs 0.5 sc 0 g 0 0 40 20 re f";
  f.AddStream(5, "<< >>", content);
  f.renderer.PageDictionary = As<TPDFDictionary>(
      f.Add(6, "<< /MediaBox [0 0 40 20] /Contents 5 0 R /Resources 8 0 R >>"));
  ASSERT_TRUE(f.RenderPage());
  const std::string& error = f.renderer.ErrorText();
  EXPECT_EQ(error.rfind("Rendering exception: ", 0), 0u) << error;
  // The failing operator is "cs" (its initial full tint is converted): the position is the
  // byte after it, 1-based.
  const std::size_t after = content.find(" cs") + 3;
  EXPECT_NE(error.find("\r\nToken position " + std::to_string(after + 1)), std::string::npos) << error;
  // The red square stays; the black fill after the failure never happened.
  EXPECT_EQ(f.Bitmap()->Pixel(5, 15), 0xFF0000u);
  EXPECT_EQ(f.Bitmap()->Pixel(30, 5), 0xFFFFFFu);
}

}  // namespace
}  // namespace kestrel::testing
