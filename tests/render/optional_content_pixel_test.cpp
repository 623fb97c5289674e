// Optional content on one page against pdftoppm: a grid of squares, each governed by another
// rule (the default configuration, membership policies, visibility expressions, XObjects,
// inline images and annotations carrying /OC).
#include <gtest/gtest.h>

#include <string>

#include "pixel_compare.h"
#include "support/pdf_builder.h"

namespace kestrel::testing {
namespace {

// Groups: 10 listed ON, 11 listed OFF, 12 left to BaseState /OFF, 13 listed ON and OFF (off),
// 14 not one of the document's groups (visible although listed OFF).
const char* const kCatalogue =
    "<< /Type /Catalog /Pages 2 0 R /OCProperties << /OCGs [10 0 R 11 0 R 12 0 R 13 0 R] "
    "/D << /BaseState /OFF /ON [10 0 R 13 0 R] /OFF [11 0 R 13 0 R 14 0 R] >> >> >>";

// Membership dictionaries, objects 20 to 30: visible, hidden, alternately.
const char* const kMemberships[] = {
    "/OCGs [10 0 R] /P /AllOn",       "/OCGs [10 0 R 11 0 R] /P /AllOn",
    "/OCGs [10 0 R 11 0 R]",          "/OCGs 11 0 R",
    "/OCGs [10 0 R 11 0 R] /P /AnyOff", "/OCGs [10 0 R] /P /AnyOff",
    "/OCGs [11 0 R 12 0 R] /P /AllOff", "/OCGs [10 0 R 11 0 R] /P /AllOff",
    "/VE [/And 10 0 R [/Not 11 0 R]]", "/VE [/Or 11 0 R [/Not 10 0 R]] /OCGs [10 0 R]",
    "/OCGs [null 99 0 R] /P /AllOff",
};

std::string Square(int column, int row) {
  return std::to_string(10 + 30 * column) + " " + std::to_string(160 - 30 * row) + " 20 20 re f";
}

std::string Marked(const std::string& name, const std::string& inner) {
  return "/OC /" + name + " BDC " + inner + " EMC\n";
}

TEST(OptionalContentPixels, EveryRuleOnOnePage) {
  if (!PdftoppmAvailable()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
  testpdf::PdfBuilder b;
  std::string properties = "/on 10 0 R /off 11 0 R /base 12 0 R /both 13 0 R /nf 14 0 R";
  for (int i = 0; i < 11; ++i) {
    b.Object(20 + i, std::string("<< /Type /OCMD ") + kMemberships[i] + " >>");
    properties += " /m" + std::to_string(20 + i) + " " + std::to_string(20 + i) + " 0 R";
  }
  std::string content = "1 0 0 rg\n";
  const char* groups[] = {"on", "off", "base", "both", "nf"};
  for (int i = 0; i < 5; ++i) content += Marked(groups[i], Square(i, 0));
  // Nested: a visible group inside a hidden one stays hidden; other marked content inside a
  // visible group changes nothing, and drawing resumes after the hidden group closes.
  content += Marked("off", Marked("on", Square(5, 0)));
  content += Marked("on", "/Span << /ActualText (x) >> BDC /Tag BMC " + Square(6, 0) + " EMC EMC");
  content += Marked("off", "") + Square(7, 0) + "\n0 0 1 rg\n";
  for (int i = 0; i < 11; ++i) content += Marked("m" + std::to_string(20 + i), Square(i % 8, 1 + i / 8));
  // XObjects carrying /OC, and inline images inside hidden and shown content.
  content += "0 0.6 0 rg /Fa Do /Fb Do q 20 0 0 20 190 100 cm /Ia Do Q q 20 0 0 20 220 100 cm /Ib Do Q\n";
  content += Marked("off", "q 20 0 0 20 10 70 cm BI /W 1 /H 1 /CS /RGB /BPC 8 ID \x10\x80\x10 EI Q");
  content += Marked("on", "q 20 0 0 20 40 70 cm BI /W 1 /H 1 /CS /RGB /BPC 8 ID \x10\x80\x10 EI Q");
  b.Object(1, kCatalogue)
      .Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
      .Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 260 200] /Contents 4 0 R "
                 "/Annots [40 0 R 41 0 R 42 0 R] /Resources << /Properties << " + properties +
                 " >> /XObject << /Fa 50 0 R /Fb 51 0 R /Ia 52 0 R /Ib 53 0 R >> >> >>")
      .Stream(4, "", content);
  for (int g = 10; g <= 14; ++g) b.Object(g, "<< /Type /OCG /Name (G" + std::to_string(g) + ") >>");
  b.Stream(50, "/Type /XObject /Subtype /Form /BBox [0 0 260 200] /OC 11 0 R", Square(4, 2))
      .Stream(51, "/Type /XObject /Subtype /Form /BBox [0 0 260 200] /OC 22 0 R", Square(5, 2))
      .Stream(52, "/Type /XObject /Subtype /Image /Width 1 /Height 1 /ColorSpace /DeviceRGB "
                  "/BitsPerComponent 8 /OC 11 0 R", "\x80\x10\x80")
      .Stream(53, "/Type /XObject /Subtype /Image /Width 1 /Height 1 /ColorSpace /DeviceRGB "
                  "/BitsPerComponent 8 /OC 10 0 R", "\x80\x10\x80");
  // Annotations: /OC after /F (the group is on), a hidden group, a hidden membership.
  const char* annots[] = {"/F 4 /OC 10 0 R", "/OC 11 0 R /F 4", "/F 4 /OC 21 0 R"};
  for (int i = 0; i < 3; ++i)
    b.Object(40 + i, "<< /Type /Annot /Subtype /Square /Rect [" + std::to_string(100 + 30 * i) +
                         " 10 " + std::to_string(120 + 30 * i) + " 30] " + annots[i] +
                         " /AP << /N 60 0 R >> >>");
  b.Stream(60, "/Type /XObject /Subtype /Form /BBox [0 0 10 10]", "0.5 0 0.5 rg 0 0 10 10 re f");
  b.TrailerEntries("/Root 1 0 R");
  EXPECT_TRUE(MatchesPdftoppm(b.Build(), 72, "optional-content"));
}

}  // namespace
}  // namespace kestrel::testing
