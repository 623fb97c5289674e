// Images on pages the tests write themselves, rendered by Kestrel and by pdftoppm and compared
// pixel by pixel: colour spaces and bit depths, Decode arrays, masks, inline images, placement.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "pixel_compare.h"
#include "support/pdf_builder.h"

namespace kestrel::testing {
namespace {

// Samples of a w × h image with `comps` components of `bits` bits, packed MSB first with rows
// padded to whole bytes: diagonal ramps, a different one per component.
std::string Samples(int w, int h, int comps, int bits) {
  std::string out;
  const int levels = bits >= 16 ? 65536 : 1 << bits;
  for (int y = 0; y < h; ++y) {
    unsigned acc = 0;
    int used = 0;
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < comps; ++c) {
        const long v = (static_cast<long>(x * (c + 1) + y * (comps - c)) * (levels - 1)) /
                       ((w + h) * comps);
        if (bits == 16) {
          out += static_cast<char>(v >> 8);
          out += static_cast<char>(v & 0xFF);
          continue;
        }
        acc = (acc << bits) | static_cast<unsigned>(v % levels);
        used += bits;
        if (used == 8) {
          out += static_cast<char>(acc);
          acc = 0;
          used = 0;
        }
      }
    }
    if (used > 0) out += static_cast<char>(acc << (8 - used));
  }
  return out;
}

struct TImageCase {
  std::string Dict;  // entries besides Width, Height and BitsPerComponent
  int Comps;
  int Bits;
};

// Pictures drawn at an angle, or smoothed when enlarged, are sampled at places a fraction of a
// pixel apart from pdftoppm's: a pixel may take the neighbouring step of a 16-level ramp.
TPixelTolerance ImageTolerance() {
  TPixelTolerance tol;
  tol.FlatMax = 16;
  return tol;
}

class ImagePixels : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PdftoppmAvailable()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
  }
  // One page of 40-point cells, one image XObject in each, drawn at 72 and 150 dpi.
  void CheckGrid(const std::vector<TImageCase>& cases, const std::string& name,
                 const std::string& resources = "", const std::map<int, std::string>& objects = {},
                 const std::map<int, std::pair<std::string, std::string>>& streams = {}) {
    testpdf::PdfBuilder b;
    std::string xobjects, content;
    for (std::size_t i = 0; i < cases.size(); ++i) {
      const int num = 100 + static_cast<int>(i);
      const int w = 16, h = 12;
      b.Stream(num,
               "/Type /XObject /Subtype /Image /Width " + std::to_string(w) + " /Height " +
                   std::to_string(h) + " /BitsPerComponent " + std::to_string(cases[i].Bits) +
                   " " + cases[i].Dict,
               Samples(w, h, cases[i].Comps, cases[i].Bits));
      xobjects += "/Im" + std::to_string(i) + " " + std::to_string(num) + " 0 R ";
      const int x = 5 + static_cast<int>(i % 5) * 40, y = 5 + static_cast<int>(i / 5) * 40;
      content += "q 36 0 0 30 " + std::to_string(x) + " " + std::to_string(y) + " cm /Im" +
                 std::to_string(i) + " Do Q\n";
    }
    Finish(b, content, "/XObject << " + xobjects + " >> " + resources, objects, streams, name);
  }
  void Finish(testpdf::PdfBuilder& b, const std::string& content, const std::string& resources,
              const std::map<int, std::string>& objects,
              const std::map<int, std::pair<std::string, std::string>>& streams,
              const std::string& name, const std::string& catalog = "",
              const TPixelTolerance& tol = ImageTolerance()) {
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R " + catalog + " >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 205 205] /Resources << " +
                    resources + " >> /Contents 4 0 R >>");
    b.Stream(4, "", content);
    for (const auto& [num, body] : objects) b.Object(num, body);
    for (const auto& [num, s] : streams) b.Stream(num, s.first, s.second);
    b.TrailerEntries("/Root 1 0 R");
    const std::string pdf = b.Build();
    for (double dpi : {72.0, 150.0}) EXPECT_TRUE(MatchesPdftoppm(pdf, dpi, name, tol));
  }
};

TEST_F(ImagePixels, DeviceSpacesAndBitDepths) {
  CheckGrid({{"/ColorSpace /DeviceGray", 1, 1},
             {"/ColorSpace /DeviceGray", 1, 2},
             {"/ColorSpace /DeviceGray", 1, 4},
             {"/ColorSpace /DeviceGray", 1, 8},
             {"/ColorSpace /DeviceGray", 1, 16},
             {"/ColorSpace /DeviceRGB", 3, 1},
             {"/ColorSpace /DeviceRGB", 3, 4},
             {"/ColorSpace /DeviceRGB", 3, 8},
             {"/ColorSpace /DeviceRGB", 3, 16},
             {"/ColorSpace /DeviceCMYK", 4, 2},
             {"/ColorSpace /DeviceCMYK", 4, 8},
             {"/ColorSpace /DeviceCMYK", 4, 16},
             {"/ColorSpace /DeviceGray /Decode [1 0]", 1, 1},
             {"/ColorSpace /DeviceGray /Decode [1 0]", 1, 8},
             {"/ColorSpace /DeviceRGB /Decode [1 0 0 1 1 0]", 3, 8},
             {"/ColorSpace /DeviceCMYK /Decode [1 0 1 0 1 0 1 0]", 4, 8},
             {"/ColorSpace [/ICCBased 20 0 R]", 3, 8},
             {"/ColorSpace /DeviceRGB /Interpolate true", 3, 2}},
            "image-device-spaces", "", {},
            {{20, {"/N 3 /Alternate /DeviceRGB", "not a real profile"}}});
}

TEST_F(ImagePixels, IndexedSeparationDeviceNAndLab) {
  CheckGrid({{"/ColorSpace [/Indexed /DeviceRGB 3 <FF0000 00FF00 0000FF FFFF00>]", 1, 2},
             {"/ColorSpace [/Indexed /DeviceRGB 3 <FF0000 00FF00 0000FF FFFF00>]", 1, 8},
             {"/ColorSpace [/Indexed /DeviceGray 15 <00112233445566778899AABBCCDDEEFF>]", 1, 4},
             {"/ColorSpace [/Indexed /DeviceCMYK 1 <00000000 FF800000>] /Decode [1 0]", 1, 1},
             {"/ColorSpace [/Indexed 12 0 R 2 <00 80 FF>]", 1, 2},
             {"/ColorSpace 12 0 R", 1, 8},
             {"/ColorSpace 12 0 R", 1, 4},
             {"/ColorSpace 13 0 R", 2, 8},
             {"/ColorSpace 13 0 R", 2, 16},
             {"/ColorSpace 14 0 R", 3, 8},
             {"/ColorSpace [/Indexed 14 0 R 1 <80C040 40FF80>]", 1, 1}},
            "image-special-spaces", "",
            {{10, "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 0.3 1 0] /N 1 >>"},
             {12, "[/Separation /Spot /DeviceCMYK 10 0 R]"},
             {13, "[/DeviceN [/Cyan /Magenta] /DeviceCMYK 11 0 R]"},
             {14, "[/Lab << /WhitePoint [0.9505 1 1.089] /Range [-100 100 -100 100] >>]"}},
            {{11, {"/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1 0 1]",
                   "{ 0 0 }"}}});
}

TEST_F(ImagePixels, MasksAndColourKeys) {
  testpdf::PdfBuilder b;
  // A 16 × 12 gradient, a stencil of the same size, a soft mask of another size.
  const std::string rgb = "/Type /XObject /Subtype /Image /Width 16 /Height 12 "
                          "/BitsPerComponent 8 /ColorSpace /DeviceRGB";
  std::string ring;
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 2; ++x) ring += static_cast<char>((x == 0 ? 0xF0 : 0x0F) ^ (y % 4 < 2 ? 0 : 0xFF));
  }
  b.Stream(100, "/Type /XObject /Subtype /Image /Width 16 /Height 12 /ImageMask true", ring);
  b.Stream(101, "/Type /XObject /Subtype /Image /Width 16 /Height 12 /ImageMask true "
                "/Decode [1 0]", ring);
  b.Stream(102, rgb + " /Mask 103 0 R", Samples(16, 12, 3, 8));
  b.Stream(103, "/Type /XObject /Subtype /Image /Width 16 /Height 12 /ImageMask true", ring);
  b.Stream(104, rgb + " /SMask 105 0 R", Samples(16, 12, 3, 8));
  b.Stream(105, "/Type /XObject /Subtype /Image /Width 5 /Height 4 /BitsPerComponent 8 "
                "/ColorSpace /DeviceGray", Samples(5, 4, 1, 8));
  b.Stream(106, rgb + " /Mask [0 40 0 60 0 255]", Samples(16, 12, 3, 8));
  b.Stream(107, "/Type /XObject /Subtype /Image /Width 16 /Height 12 /BitsPerComponent 2 "
                "/ColorSpace [/Indexed /DeviceRGB 3 <FF0000 00FF00 0000FF FFFF00>] /Mask [1 2]",
           Samples(16, 12, 1, 2));
  const std::string content =
      "0 0.6 0 rg 0 0 205 20 re f 0 0 0.5 rg\n"
      "1 0 0 rg q 60 0 0 45 5 5 cm /S Do Q 0 0 1 rg q 60 0 0 45 70 5 cm /S Do Q\n"
      "0.2 0.7 0.2 rg q 60 0 0 45 135 5 cm /SI Do Q\n"
      "0.9 0.9 0.5 rg 0 60 205 80 re f\n"
      "q 60 0 0 45 5 60 cm /M Do Q q 60 0 0 45 70 60 cm /SM Do Q q 60 0 0 45 135 60 cm /K Do Q\n"
      "q 60 0 0 45 5 115 cm /KI Do Q\n";
  Finish(b, content,
         "/XObject << /S 100 0 R /SI 101 0 R /M 102 0 R /SM 104 0 R /K 106 0 R /KI 107 0 R >>",
         {}, {}, "image-masks", "", [] {
           // Enlarged masks are smoothed with the same filter, but its phase differs from
           // pdftoppm's by under a pixel: every mask edge is a pixel row of partly shifted
           // opacity.
           TPixelTolerance tol = ImageTolerance();
           tol.MaxMean = 3.5;
           tol.MaxFarOffFraction = 0.025;
           return tol;
         }());
}

TEST_F(ImagePixels, InlineImagesPlacementAndReuse) {
  testpdf::PdfBuilder b;
  b.Stream(100, "/Type /XObject /Subtype /Image /Width 16 /Height 12 /BitsPerComponent 8 "
                "/ColorSpace /DeviceRGB", Samples(16, 12, 3, 8));
  std::string content =
      // Abbreviated keys and names, a named Indexed space and filters.
      "q 40 0 0 30 5 5 cm BI /W 16 /H 12 /BPC 8 /CS /RGB ID\n" + Samples(16, 12, 3, 8) +
      "\nEI Q\n"
      "q 40 0 0 30 50 5 cm BI /W 16 /H 12 /BPC 2 /CS /Pal /F /AHx ID\n";
  for (unsigned char c : Samples(16, 12, 1, 2)) {
    static const char* hex = "0123456789ABCDEF";
    content += hex[c >> 4];
    content += hex[c & 15];
  }
  content += ">\nEI Q\n"
             "1 0 0 rg q 40 0 0 30 95 5 cm BI /IM true /W 16 /H 12 /D [1 0] ID\n" +
             Samples(16, 12, 1, 1) + "\nEI Q\n"
             // Rotated, skewed, and the same image three times.
             "q 0.7 0.5 -0.5 0.7 100 60 cm 60 0 20 40 0 0 cm /Im Do Q\n"
             "q 40 0 0 30 5 150 cm /Im Do Q q 40 0 0 30 50 150 cm /Im Do Q "
             "q -40 0 0 -30 135 200 cm /Im Do Q\n"
             // Inside optional content that is off, neither kind is drawn.
             "/OC /Off BDC q 40 0 0 30 5 60 cm /Im Do Q "
             "q 40 0 0 30 5 100 cm BI /W 2 /H 2 /BPC 8 /CS /G ID\n\x10\x20\x30\x40\nEI Q EMC\n";
  Finish(b, content,
         "/XObject << /Im 100 0 R >> /ColorSpace << /Pal [/Indexed /DeviceRGB 3 "
         "<FF0000 00FF00 0000FF FFFF00>] >> /Properties << /Off 10 0 R >>",
         {{10, "<< /Type /OCG /Name (Off) /Usage << /View << /ViewState /OFF >> >> >>"}}, {},
         "image-inline", "/OCProperties << /OCGs [10 0 R] /D << /OFF [10 0 R] >> >>");
}

}  // namespace
}  // namespace kestrel::testing
