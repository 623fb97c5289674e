// Soft masks set by gs: a group's luminosity (or opacity) masks what is drawn until the state
// that set it ends.
#include <gtest/gtest.h>

#include "renderer_test_support.h"

namespace kestrel::testing {
namespace {

TEST(RendererSoftMasks, GroupLuminosityMasksUntilTheStateEnds) {
  TRendererFixture f;
  // Group 10: white on the default black backdrop over x 0..10. Group 11 draws black over
  // x 20..30 on a white backdrop, and TR turns the levels round. Group 12 (opacity) covers
  // x 40..45.
  f.AddStream(10, "<< /Subtype /Form /BBox [0 0 100 20] >>", "1 g 0 0 10 20 re f");
  f.AddStream(11, "<< /Subtype /Form /BBox [0 0 100 20] >>", "0 g 20 0 10 20 re f");
  f.AddStream(12, "<< /Subtype /Form /BBox [0 0 100 20] >>", "40 0 5 20 re f");
  f.AddStream(13, "<< /FunctionType 4 /Domain [0 1] /Range [0 1] >>", "{ 1 exch sub }");
  f.AddStream(5, "<< >>",
              "q /A gs 1 0 0 rg 0 0 20 20 re f Q "
              "q /B gs 0 1 0 rg 20 0 20 20 re f Q "
              "q /C gs 0 0 1 rg 40 0 10 20 re f /N gs 0 0 1 rg 50 0 10 20 re f Q "
              "1 0 0 rg 60 0 10 20 re f");
  f.Add(7, "<< /ExtGState << /A << /SMask << /S /Luminosity /G 10 0 R >> >> "
           "/B << /SMask << /S /Luminosity /G 11 0 R /BC [1] /TR 13 0 R >> >> "
           "/C << /SMask << /S /Alpha /G 12 0 R >> >> /N << /SMask /None >> >> >>");
  f.renderer.PageDictionary = As<TPDFDictionary>(
      f.Add(6, "<< /MediaBox [0 0 70 20] /Resources 7 0 R /Contents 5 0 R >>"));
  ASSERT_TRUE(f.RenderPage());
  const TRasterImage& bmp = *f.Bitmap();
  EXPECT_EQ(bmp.Pixel(5, 10), 0xFF0000u);
  EXPECT_EQ(bmp.Pixel(15, 10), 0xFFFFFFu);
  EXPECT_EQ(bmp.Pixel(25, 10), 0x00FF00u);
  EXPECT_EQ(bmp.Pixel(35, 10), 0xFFFFFFu);
  EXPECT_EQ(bmp.Pixel(42, 10), 0x0000FFu);
  EXPECT_EQ(bmp.Pixel(47, 10), 0xFFFFFFu);
  EXPECT_EQ(bmp.Pixel(55, 10), 0x0000FFu);  // after /SMask /None
  EXPECT_EQ(bmp.Pixel(65, 10), 0xFF0000u);  // after Q
  EXPECT_TRUE(f.renderer.ErrorText().empty());
}

}  // namespace
}  // namespace kestrel::testing
