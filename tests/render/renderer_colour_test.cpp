// Colour conversions, colour-space resolution and the colour operators.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/render/colour/colour_indexed.h"
#include "engine/render/colour/colour_tint.h"
#include "engine/render/function/function.h"
#include "renderer_test_support.h"

namespace kestrel::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(ColourManager, CmykPolynomialAndPacking) {
  TPDFSimpleColorManager cm;
  const TRGB white = cm.CMYKToRGB(0, 0, 0, 0);
  EXPECT_DOUBLE_EQ(white.r, 1);
  EXPECT_DOUBLE_EQ(white.g, 1);
  EXPECT_DOUBLE_EQ(white.b, 1);
  const TRGB black = cm.CMYKToRGB(0, 0, 0, 1);
  EXPECT_NEAR(black.r, 0.1373, 1e-9);
  EXPECT_NEAR(black.g, 0.1216, 1e-9);
  EXPECT_NEAR(black.b, 0.1255, 1e-9);
  EXPECT_EQ(cm.RGBToColor(black), PackRGB(35, 31, 32));
  // Half of 255 rounds to even: 127.5 gives 128.
  EXPECT_EQ(cm.RGBToColor(0.5, 0.5, 0.5), PackRGB(128, 128, 128));
  EXPECT_EQ(cm.RGBToColor(1, 0, 0), 0x0000FFu);
  EXPECT_EQ(cm.RGBToColor(2, -1, std::nan("")), 0x0000FFu);
}

TEST(ColourManager, LabConversion) {
  TPDFSimpleColorManager cm;
  EXPECT_EQ(cm.RGBToColor(cm.LabToRGB(50, 0, 0)), PackRGB(119, 119, 119));
  // Through the sRGB primaries (poppler, lcms and Photoshop agree on these).
  EXPECT_EQ(cm.RGBToColor(cm.LabToRGB(60, 40, -30)), PackRGB(189, 119, 198));
  // A D50 white point is adapted to D65 first.
  ASSERT_TRUE(cm.SetWhitePoint(0.9642, 1, 0.8249));
  EXPECT_EQ(cm.RGBToColor(cm.LabToRGB(60, 40, -30)), PackRGB(193, 117, 199));
  EXPECT_EQ(cm.RGBToColor(cm.LabToRGB(50, 0, 0)), PackRGB(119, 119, 119));
  cm.ResetWhitePoint();
  EXPECT_EQ(cm.RGBToColor(cm.LabToRGB(100, 0, 0)), PackRGB(255, 255, 255));
  EXPECT_EQ(cm.RGBToColor(cm.LabToRGB(-20, 0, 0)), PackRGB(0, 0, 0));  // L* clamped to 0
  // a* and b* are clamped to the ranges before conversion.
  cm.SetLabRange(-10, 10, -10, 10);
  EXPECT_EQ(cm.RGBToColor(cm.LabToRGB(50, 100, 0)), cm.RGBToColor(cm.LabToRGB(50, 10, 0)));
  EXPECT_FALSE(cm.SetWhitePoint(0.9, 0.5, 1));
  EXPECT_DOUBLE_EQ(cm.WhiteX(), 0.9505);
  EXPECT_TRUE(cm.SetWhitePoint(0.9642, 1, 0.8249));
  EXPECT_DOUBLE_EQ(cm.WhiteZ(), 0.8249);
}

TEST(ColourOperators, DeviceColoursPackAndClamp) {
  TRendererFixture f;
  f.Render("0.5 g 0 0 m 1 1 l f 1 0 0 rg 0 0 m 1 1 l f 2 0 0 rg 0 0 m 1 1 l f "
           "0 0 0 1 k 0 0 m 1 1 l f 2 g 0 0 m 1 1 l f 0 0 1 RG 0 0 m 1 1 l S");
  EXPECT_EQ(f.Starting("SetFillColor"),
            (Lines{"SetFillColor 0x808080", "SetFillColor 0x0000FF", "SetFillColor 0x0000FF",
                   "SetFillColor 0x201F23", "SetFillColor 0xFFFFFF"}));
  EXPECT_EQ(f.Starting("SetStrokeColor"), (Lines{"SetStrokeColor 0xFF0000"}));
}

TEST(ColourSpaces, ResolveByNameAndResource) {
  TRendererFixture f;
  f.AddStream(30, "<< /N 4 >>", "");
  f.AddStream(31, "<< /N 3 /Alternate /DeviceGray >>", "");
  f.Add(32, "<< /ColorSpace << /C4 [/ICCBased 30 0 R] /Bad [/ICCBased 31 0 R] "
            "/Direct /DeviceCMYK /Pal [/Indexed /DeviceRGB 1 <FF000000FF00>] "
            "/CG [/CalGray << /WhitePoint [1 1 1] >>] /CR [/CalRGB << >>] >> >>");
  auto* res = As<TPDFDictionary>(f.objects[32]);
  TPDFColorSpaces& spaces = f.renderer.ColorSpaces();
  EXPECT_EQ(spaces.ResolveColorSpace("/DeviceGray", res), kDeviceGray);
  EXPECT_EQ(spaces.ResolveColorSpace("/C4", res), kDeviceCMYK);
  // An alternate that disagrees with N gives way to N.
  EXPECT_EQ(spaces.ResolveColorSpace("/Bad", res), kDeviceRGB);
  EXPECT_EQ(spaces.ResolveColorSpace("/Direct", res), kDeviceCMYK);
  // A calibrated space with a white point is converted as such; one without is its device
  // family.
  EXPECT_EQ(spaces.ResolveColorSpace("/CG", res).Family, TColorFamily::CIEBased);
  EXPECT_EQ(spaces.ResolveColorSpace("/CR", res), kDeviceRGB);
  EXPECT_EQ(spaces.ResolveColorSpace("/Missing", res), kDeviceRGB);
  const TColorSpaceId pal = spaces.ResolveColorSpace("/Pal", res);
  EXPECT_EQ(pal.Family, TColorFamily::Indexed);
  EXPECT_EQ(ColorSpaceText(pal), "Indexed" + std::to_string(pal.Handle));
  // The same definition gives the same space.
  EXPECT_EQ(spaces.ResolveColorSpace("/Pal", res), pal);
  EXPECT_EQ(spaces.ObjectCount(), 2u);
}

TEST(ColourOperators, IndexedPopsOneIndex) {
  TRendererFixture f;
  f.Render("/Pal cs 1 sc 0 0 m 1 1 l f 7 sc 0 0 m 1 1 l f 0 scn 0 0 m 1 1 l f",
           "<< /ColorSpace << /Pal [/Indexed /DeviceRGB 1 <FF000000FF00>] >> >>");
  // Index 1 is green; 7 is clamped to the last entry; 0 is red.
  EXPECT_EQ(f.Starting("SetFillColor"),
            (Lines{"SetFillColor 0x00FF00", "SetFillColor 0x00FF00", "SetFillColor 0x0000FF"}));
}

TEST(ColourOperators, SelectingASpaceSetsItsInitialColour) {
  TRendererFixture f;
  f.Add(40, "<< /FunctionType 2 /Domain [0 1] /C0 [1 1 1] /C1 [0 0 1] /N 1 >>");
  f.Render("1 0 0 rg /DeviceCMYK cs 0 0 m 1 1 l f /Sp cs 0 0 m 1 1 l f",
           "<< /ColorSpace << /Sp [/Separation /Blue /DeviceRGB 40 0 R] >> >>");
  // CMYK starts at black (k = 1); a Separation at full tint.
  EXPECT_EQ(f.Starting("SetFillColor"), (Lines{"SetFillColor 0x201F23", "SetFillColor 0xFF0000"}));
}

TEST(ColourOperators, SeparationThroughItsTintTransform) {
  TRendererFixture f;
  f.Add(40, "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 0 0 1] /N 1 >>");
  f.Render("/Sp cs 0 sc 0 0 m 1 1 l f 1 sc 0 0 m 1 1 l f 1 sc 0 0 m 1 1 l f",
           "<< /ColorSpace << /Sp [/Separation /Black /DeviceCMYK 40 0 R] >> >>");
  EXPECT_EQ(f.Starting("SetFillColor"),
            (Lines{"SetFillColor 0xFFFFFF", "SetFillColor 0x201F23", "SetFillColor 0x201F23"}));
  // The repeated tint came from the cache: full tint (cs) and 0 were evaluated, nothing more.
  auto* sep = dynamic_cast<TPDFSeparationColorSpace*>(
      f.renderer.ColorSpaces().Find({TColorFamily::Separation, 1}));
  ASSERT_NE(sep, nullptr);
  EXPECT_EQ(sep->Evaluations(), 2u);
}

TEST(ColourOperators, DeviceNPopsOneValuePerColorant) {
  TRendererFixture f;
  f.AddStream(41, "<< /FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1] >>",
              "{ 0 }");  // (a, b) -> (a, b, 0)
  f.Render("9 /DN cs 1 0.5 scn 0 0 m 1 1 l f",
           "<< /ColorSpace << /DN [/DeviceN [/A /B] /DeviceRGB 41 0 R] >> >>");
  EXPECT_EQ(f.Starting("SetFillColor").back(), "SetFillColor 0x0080FF");
}

TEST(ColourOperators, UnusableTintTransformPaintsBlack) {
  TRendererFixture f;
  f.Render("/Sp cs 0.3 sc 0 0 m 1 1 l f",
           "<< /ColorSpace << /Sp [/Separation /X /DeviceRGB 99 0 R] >> >>");
  EXPECT_EQ(f.Starting("SetFillColor").back(), "SetFillColor 0x000000");
}

TEST(ColourOperators, LabSpace) {
  TRendererFixture f;
  f.Render("/L cs 50 0 0 sc 0 0 m 1 1 l f",
           "<< /ColorSpace << /L [/Lab << /WhitePoint [0.9505 1 1.089] >>] >> >>");
  EXPECT_EQ(f.Starting("SetFillColor").back(), "SetFillColor 0x777777");
}

TEST(ColourOperators, UncolouredGlyphIgnoresColours) {
  TRendererFixture f;
  f.Render("0 0 0 0 0 0 d1 1 0 0 rg 0 0 m 1 1 l f");
  EXPECT_EQ(f.Starting("SetFillColor"), (Lines{"SetFillColor 0x000000"}));
}

TEST(ColourOperators, PatternNameIsTakenWithItsComponents) {
  TRendererFixture f;
  f.Render("1 0 0 rg /P1 cs 0 0 1 /Pat scn 0 0 m 1 1 l f /P0 cs /Pat scn 0 0 m 5 5 l f",
           "<< /ColorSpace << /P1 [/Pattern /DeviceRGB] /P0 /Pattern >> >>");
  // The uncoloured pattern's colour is its components; the coloured one keeps what was set.
  EXPECT_EQ(f.Starting("SetFillColor").front(), "SetFillColor 0xFF0000");
  EXPECT_EQ(f.Count("FillPath"), 2u);
}

TEST(ColourSpaces, DefinitionsThatReferToThemselvesEnd) {
  TRendererFixture f;
  f.Add(50, "[/Indexed 51 0 R 1 <00>]");
  f.Add(51, "[/Separation /X 50 0 R 52 0 R]");
  f.Add(52, "<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] >>");
  f.Add(53, "<< /ColorSpace << /A 50 0 R >> >>");
  TPDFColorSpaces& spaces = f.renderer.ColorSpaces();
  const TColorSpaceId id = spaces.ResolveColorSpace("/A", As<TPDFDictionary>(f.objects[53]));
  EXPECT_LE(spaces.ObjectCount(), 10u);
  std::vector<double> v{0};
  spaces.Convert(id, v, false);  // must not recurse without end
}

}  // namespace
}  // namespace kestrel::testing

namespace kestrel::testing {
namespace {

TEST(ColourSpaces, PostScriptTextsForTheEpsTarget) {
  TRendererFixture f;
  TPDFColorSpaces& spaces = f.renderer.ColorSpaces();
  const double rgb[3] = {1, 0, 0.25}, cmyk[4] = {0, 0, 0, 1}, gray[1] = {0.5};
  EXPECT_EQ(spaces.Convert(kDeviceRGB, rgb, true).PostScript, "1 0 0.25 setrgbcolor");
  EXPECT_EQ(spaces.Convert(kDeviceCMYK, cmyk, true).PostScript, "0 0 0 1 setcmykcolor");
  EXPECT_EQ(spaces.Convert(kDeviceGray, gray, true).PostScript, "0.5 setgray");
  EXPECT_TRUE(spaces.Convert(kDeviceGray, gray, false).PostScript.empty());

  f.Add(60, "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 0.1 0.9 0] /N 1 >>");
  f.Add(61, "[/Separation /Gold /DeviceCMYK 60 0 R]");
  const auto id = spaces.FromObject(f.objects[61]);
  ASSERT_TRUE(id);
  auto* gold = dynamic_cast<TPDFSeparationColorSpace*>(spaces.Find(*id));
  ASSERT_NE(gold, nullptr);
  EXPECT_EQ(gold->SetTint(0.5, true).PostScript,
            "0 0.1 0.9 0 (Gold) findcmykcustomcolor 0.5 setcustomcolor");
  EXPECT_EQ(gold->Current().Packed, spaces.Convert(kDeviceCMYK, std::vector<double>{0, 0.05, 0.45, 0}, false).Packed);

  f.Add(62, "<< /FunctionType 2 /Domain [0 1 0 1] /C0 [0 0 0 0] /C1 [1 1 0 0] /N 1 >>");
  f.Add(63, "[/DeviceN [/Cyan /Spot] /DeviceCMYK 62 0 R]");
  auto* devn = dynamic_cast<TPDFDeviceNColorSpace*>(spaces.Find(*spaces.FromObject(f.objects[63])));
  ASSERT_NE(devn, nullptr);
  EXPECT_EQ(devn->Names, "[Cyan,Spot]");
  EXPECT_EQ(devn->SetComponents(std::vector<double>{0.25, 0.75}, true).PostScript,
            "1 1 0 0 ([Cyan,Spot]) findcmykcustomcolor 0.25 0.75 setcustomcolor");
  // A DeviceN colour converts as the same CMYK would (not by a simpler formula).
  EXPECT_EQ(devn->Current().Packed,
            spaces.Convert(kDeviceCMYK, std::vector<double>{0.25, 0.25, 0, 0}, false).Packed);
}

}  // namespace
}  // namespace kestrel::testing
