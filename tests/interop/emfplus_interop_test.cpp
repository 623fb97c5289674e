// EMF+ only metafiles (output format 8) read back by LibreOffice and compared with our own
// raster rendering of the same page.
//
// How LibreOffice shows an EMF: `soffice --convert-to png` places the picture at its physical
// size (the header's frame, 1/100 mm) in the middle of an A4 page rendered at 96 pixels per
// inch. At 96 dpi our pixels are its pixels, so the picture is cut out of the page at the
// centred position; since LibreOffice rounds that position in 1/100 mm, the cut is searched
// within a few pixels for the best match.
//
// Tolerance: LibreOffice draws EMF+ paths anti-aliased with its own rasteriser, so shape edges
// differ from Cairo's by coverage estimates (the edge rules of pixel_compare.h). Beyond that:
//   - dash ends: its dashes follow the pen's pattern but the ends are placed by its own
//     dasher, so a stroked dash edge can sit one pixel away;
//   - LibreOffice ignores the interpolation mode and smooths scaled pictures (our raster
//     samples the nearest pixel), which makes the colour steps inside a picture soft;
//   - placement: LibreOffice positions the picture in 1/100 mm, a fraction of a pixel off the
//     whole-pixel cut, and our raster snaps rectangle edges to whole pixels while the metafile
//     keeps exact coordinates, so nearly every edge pixel differs by part of its coverage and
//     up to 4% of a small test page's pixels (all on edges) differ by more than 64 levels.
// Hence a flat-area limit a little above the default, a mean limit of 3 levels and 4% far-off
// pixels: a missing, miscoloured or misplaced shape changes far more pixels than that.
// LibreOffice 7.4 ignores some pen fields, so these pages avoid relying on them (the unit
// tests check that they are written): the dash offset (it always starts with a whole dash) and
// the miter limit (it always draws the full miter).
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "interop_support.h"
#include "output/emfplus_reader.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

namespace kestrel::interop {
namespace {

using testing::ComparePixels;
using testing::RenderWithKestrel;
using testing::TPixelTolerance;

constexpr double kDpi = 96;

std::string Page(double w, double h, const std::string& content,
                 const std::string& resources = "") {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(w) + " " +
                  std::to_string(h) + "] /Contents 4 0 R /Resources << " + resources + " >> >>");
  b.Stream(4, "", content);
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

// The pages, each showing one group of features.
std::map<std::string, std::string> Pages() {
  std::map<std::string, std::string> pages;
  pages["paths"] = Page(200, 150,
                        "1 0 0 rg 10 10 60 40 re f "
                        "0 0.5 0 rg 100 20 m 180 20 l 140 90 l h f "
                        "0 0 1 RG 3 w 20 120 m 60 150 100 80 140 130 c S "
                        "0.2 0.2 0.2 rg 150 100 m 170 140 l 190 100 l 150 100 l f");
  pages["evenodd"] = Page(150, 150,
                          // Nested squares: the inner one is a hole under the even-odd rule.
                          "0 0 0.6 rg 10 10 130 130 re 40 40 70 70 re f* "
                          // A single convex outline: both rules agree.
                          "0.8 0.4 0 rg 60 60 m 90 60 l 75 90 l h f");
  pages["dashes"] = Page(200, 150,
                         "0 g 4 w [12 6] 0 d 10 20 m 190 20 l S "
                         "1 0 0 RG 6 w [20 10 5 10] 0 d 10 60 m 190 60 l S "
                         "0 0 1 RG 2 w [8] 0 d 20 90 m 180 140 l S");
  pages["capsjoins"] = Page(200, 150,
                            "0 g 14 w 0 J 0 j 20 30 m 60 30 l 80 70 l S "
                            "1 J 1 j 110 30 m 150 30 l 170 70 l S "
                            "2 J 2 j 20 100 m 60 100 l 80 140 l S "
                            "0 J 0 j 10 M 110 100 m 150 100 l 110 130 l S");
  pages["clip"] = Page(200, 150,
                       "q 20 20 120 100 re W n "
                       "q 60 0 m 200 0 l 200 150 l 60 150 l h W n "
                       "1 0 0 rg 0 0 200 150 re f Q "
                       "0 0 1 rg 0 60 100 30 re f Q "
                       "0 1 0 rg 150 10 40 40 re f");
  pages["alpha"] = Page(200, 150,
                        "0 0 1 rg 20 20 100 100 re f /G gs 1 0 0 rg 70 50 100 80 re f "
                        "1 0 0 RG 8 w 10 140 m 190 140 l S",
                        "/ExtGState << /G << /ca 0.5 /CA 0.5 >> >>");
  pages["cmyk"] = Page(200, 150,
                       "1 0 0 0 k 10 10 50 50 re f 0 1 0 0 k 70 10 50 50 re f "
                       "0 0 1 0 k 130 10 50 50 re f 0 0 0 0.5 k 10 80 170 50 re f "
                       "0 0 0 1 K 4 w 10 140 m 190 140 l S");
  pages["image"] = Page(200, 150,
                        "q 120 0 0 90 40 30 cm BI /W 4 /H 2 /CS /RGB /BPC 8 ID "
                        "\xff\x00\x00\x00\xff\x00\x00\x00\xff\xff\xff\x00"
                        "\x00\x00\x00\x80\x80\x80\xff\x00\xff\x00\xff\xff EI Q");
  return pages;
}

struct TConverted {
  TBytes emf;
  std::string problem;
  std::optional<TRgbImage> libreoffice;  // the picture cut out of LibreOffice's page
};

// The region of LibreOffice's A4 page that best matches ours, searched around the centre.
std::optional<TRgbImage> CutOut(const TRgbImage& page, const TRgbImage& ours) {
  const int cx = (page.Width - ours.Width) / 2, cy = (page.Height - ours.Height) / 2;
  std::optional<TRgbImage> best;
  double bestDiff = 1e300;
  for (int dy = -4; dy <= 4; ++dy) {
    for (int dx = -4; dx <= 4; ++dx) {
      const int x0 = cx + dx, y0 = cy + dy;
      if (x0 < 0 || y0 < 0 || x0 + ours.Width > page.Width || y0 + ours.Height > page.Height) {
        continue;
      }
      TRgbImage cut{ours.Width, ours.Height, {}};
      cut.Rgb.reserve(static_cast<std::size_t>(ours.Width) * ours.Height * 3);
      double diff = 0;
      for (int y = 0; y < ours.Height; ++y) {
        for (int x = 0; x < ours.Width; ++x) {
          const std::uint8_t* p = page.At(x0 + x, y0 + y);
          const std::uint8_t* q = ours.At(x, y);
          for (int k = 0; k < 3; ++k) {
            cut.Rgb.push_back(p[k]);
            diff += std::abs(p[k] - q[k]);
          }
        }
      }
      if (diff < bestDiff) {
        bestDiff = diff;
        best = std::move(cut);
      }
    }
  }
  return best;
}

class EmfPlusInterop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!HaveProgram("soffice")) return;
    dir_ = new testsupport::TempDir();
    converted_ = new std::map<std::string, TConverted>();
    std::vector<std::string> args = {"soffice", "--headless", "--norestore",
                                     "-env:UserInstallation=file://" + dir_->Path() + "/profile",
                                     "--convert-to", "png", "--outdir", dir_->Path() + "/png"};
    for (const auto& [name, pdf] : Pages()) {
      TConverted& c = (*converted_)[name];
      c.emf = ConvertFirstPage(pdf, 8, kDpi, &c.problem);
      args.push_back(dir_->Write(name + ".emf", c.emf));
    }
    // One LibreOffice start for all files: starting it is the slow part.
    RunProgram(args, nullptr, 600);
    for (auto& [name, c] : *converted_) {
      const std::optional<TRgbImage> page = LoadPng(dir_->Path() + "/png/" + name + ".png");
      const std::optional<TRgbImage> ours = RenderWithKestrel(Pages()[name], kDpi);
      if (page && ours) c.libreoffice = CutOut(*page, *ours);
    }
  }
  static void TearDownTestSuite() {
    delete converted_;
    delete dir_;
    converted_ = nullptr;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!converted_) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  }

  static void ExpectMatches(const std::string& name) {
    TPixelTolerance tolerance;
    tolerance.FlatMax = 16;
    tolerance.MaxMean = 3.0;
    tolerance.MaxFarOffFraction = 0.04;
    const TConverted& c = converted_->at(name);
    EXPECT_EQ(c.problem, "") << name;
    std::string error;
    ASSERT_TRUE(emfplustest::ReadEmfPlus(c.emf, &error)) << name << ": " << error;
    ASSERT_TRUE(c.libreoffice) << name << ": LibreOffice produced no picture";
    const std::optional<TRgbImage> ours = RenderWithKestrel(Pages()[name], kDpi);
    ASSERT_TRUE(ours);
    const auto result = ComparePixels(*ours, *c.libreoffice, tolerance);
    if (!result.Passed) {
      testing::WritePng(*ours, ::testing::TempDir() + "/emfplus-" + name + "-ours.png");
      testing::WritePng(*c.libreoffice,
                        ::testing::TempDir() + "/emfplus-" + name + "-libreoffice.png");
      testing::WritePng(result.Diff, ::testing::TempDir() + "/emfplus-" + name + "-diff.png");
    }
    EXPECT_TRUE(result.Passed) << name << ": " << result.Summary();
  }

  static testsupport::TempDir* dir_;
  static std::map<std::string, TConverted>* converted_;
};

testsupport::TempDir* EmfPlusInterop::dir_ = nullptr;
std::map<std::string, TConverted>* EmfPlusInterop::converted_ = nullptr;

TEST_F(EmfPlusInterop, PathsAndCurves) { ExpectMatches("paths"); }
TEST_F(EmfPlusInterop, EvenOddFill) { ExpectMatches("evenodd"); }
TEST_F(EmfPlusInterop, Dashes) { ExpectMatches("dashes"); }
TEST_F(EmfPlusInterop, CapsAndJoins) { ExpectMatches("capsjoins"); }
TEST_F(EmfPlusInterop, ClippingNestedInSaveRestore) { ExpectMatches("clip"); }
TEST_F(EmfPlusInterop, AlphaFillsAndStrokes) { ExpectMatches("alpha"); }
TEST_F(EmfPlusInterop, CmykColours) { ExpectMatches("cmyk"); }
TEST_F(EmfPlusInterop, Pictures) { ExpectMatches("image"); }

}  // namespace
}  // namespace kestrel::interop
