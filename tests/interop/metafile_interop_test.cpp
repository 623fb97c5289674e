// Windows metafiles and enhanced metafiles we write, read back by LibreOffice (both formats)
// and by libwmf's wmf2svg (Windows metafiles), compared with our own raster rendering of the
// same page.
//
// Tolerance. The readers draw our records with their own rasterisers: LibreOffice fills
// polygons with its anti-aliasing, ImageMagick rasterises libwmf's SVG with its own, and our
// page bitmap is Cairo's. A Windows metafile also rounds every coordinate to a whole pixel
// and its pen widths to whole pixels, so an edge may move by up to half a pixel and a line
// be up to half a pixel wider on each side. What must agree is what the page shows: the
// colour of every flat area (within a few levels of colour rounding), where the shapes are,
// which of them a clip keeps and which fill rule holed them. Hence the edge allowance of
// ComparePixels (edge pixels may differ freely), flat pixels within 24 levels, a mean
// difference under 4 levels, and under 4% of the pixels far off (edge pixels one side counts
// in and the other out along every edge of these small, edge-heavy test pages; a missing,
// misplaced or miscoloured shape, a wrong fill rule or a lost clip costs far more).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "interop_support.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

namespace kestrel::interop {
namespace {

using testing::ComparePixels;
using testing::TPixelTolerance;

std::string OnePage(const std::string& pageEntries, const std::string& content,
                    const std::string& resources = "<< >>",
                    const std::map<int, std::pair<std::string, std::string>>& streams = {}) {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R " + pageEntries + " /Resources " + resources +
                  " /Contents 4 0 R >>");
  b.Stream(4, "", content);
  for (const auto& [num, s] : streams) b.Stream(num, s.first, s.second);
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

struct TPage {
  std::string name;
  std::string pdf;
};

// A circle of radius r around (x, y) from four Bezier quarters.
std::string Circle(double x, double y, double r) {
  const double k = 0.5523 * r;
  auto n = [](double v) { return std::to_string(v); };
  return n(x + r) + " " + n(y) + " m " + n(x + r) + " " + n(y + k) + " " + n(x + k) + " " +
         n(y + r) + " " + n(x) + " " + n(y + r) + " c " + n(x - k) + " " + n(y + r) + " " +
         n(x - r) + " " + n(y + k) + " " + n(x - r) + " " + n(y) + " c " + n(x - r) + " " +
         n(y - k) + " " + n(x - k) + " " + n(y - r) + " " + n(x) + " " + n(y - r) + " c " +
         n(x + k) + " " + n(y - r) + " " + n(x + r) + " " + n(y - k) + " " + n(x + r) + " " +
         n(y) + " c h ";
}

std::vector<TPage> Pages() {
  const std::string box = "/MediaBox [0 0 240 180]";
  std::vector<TPage> pages;
  pages.push_back({"fills", OnePage(box,
      "1 0 0 rg 10 10 100 60 re f "
      "0 0 1 rg 130 20 m 230 20 l 180 90 l h f "
      // Two overlapping squares as one path: non-zero fills both, even-odd holes the overlap.
      "0 0.6 0 rg 10 100 m 70 100 l 70 160 l 10 160 l h 40 130 m 100 130 l 100 170 l 40 170 l h f "
      "0.6 0 0.6 rg 130 100 m 190 100 l 190 160 l 130 160 l h 160 130 m 220 130 l 220 170 l "
      "160 170 l h f*")});
  pages.push_back({"curves", OnePage(box,
      "1 0.5 0 rg " + Circle(60, 90, 50) + "f "
      "0 0 0.8 RG 6 w " + Circle(170, 90, 45) + "S "
      "0 0.5 0.5 rg " + Circle(170, 90, 30) + Circle(170, 90, 15) + "f*")});
  pages.push_back({"strokes", OnePage(box,
      "0 0 0 RG 12 w 0 J 0 j 20 20 m 60 60 l 100 20 l S "
      "1 J 1 j 0.8 0 0 RG 130 20 m 170 60 l 210 20 l S "
      "2 J 2 j 0 0.5 0 RG 20 90 m 60 130 l 100 90 l S "
      "0 J 4 w 0 0 1 RG [12 6] 0 d 130 100 m 220 100 l 220 160 l S "
      "1 J [0 10] 0 d 0 0 0 RG 20 165 m 110 165 l S")});
  pages.push_back({"clip_rects", OnePage(box,
      "q 20 20 200 140 re W n q 60 0 100 180 re W n 1 0 0 rg 0 0 240 180 re f Q "
      "0 0 1 rg 0 0 50 180 re f Q 0 1 0 rg 200 0 40 40 re f")});
  pages.push_back({"clip_paths", OnePage(box,
      "q " + Circle(120, 90, 70) + "W n q 0 0 120 180 re W n 1 0 0 rg 0 0 240 180 re f Q "
      "0 0 1 rg 120 0 120 180 re f Q 0 0.6 0 rg 0 0 30 30 re f")});
  pages.push_back({"clip_rect_then_path", OnePage(box,
      "q 0 0 120 180 re W n q " + Circle(120, 90, 70) + "W n 1 0 0 rg 0 0 240 180 re f Q "
      "0 0 1 rg 0 0 240 180 re f Q 0 0.6 0 rg 200 150 40 30 re f")});
  // Stripes and a thick stroke under a circle; then a triangle holding a circle, or an
  // even-odd ring, with a fill and a stroke inside.
  std::string stripes;
  for (int i = 0; i < 8; ++i) {
    stripes += (i % 2 ? "1 0 0 rg " : "0 0 1 rg ") + std::to_string(i * 15) + " 0 15 180 re f ";
  }
  const std::string underCircle = "q " + Circle(60, 90, 50) + "W n " + stripes +
                                  "0 0.5 0 RG 8 w 1 J 0 20 m 130 170 l S Q ";
  const std::string inTriangle = "q 130 10 m 235 10 l 182 170 l h W n q ";
  const std::string drawn = "0.8 0.6 0 rg 120 0 120 180 re f 0 0 0 RG 3 w 120 70 m 240 70 l S Q Q "
                            "0 0.6 0.6 rg 130 150 30 20 re f";
  pages.push_back({"clip_stripes", OnePage(box,
      underCircle + inTriangle + Circle(182, 70, 50) + "W n " + drawn)});
  pages.push_back({"clip_nested_ring", OnePage(box,
      underCircle + inTriangle + Circle(182, 70, 50) + Circle(182, 70, 25) + "W* n " + drawn)});
  // Rectangles around and between the nested clip paths; back at the triangle, a fill shows
  // only the triangle (and the outer rectangle) cutting it.
  pages.push_back({"clip_rects_between_paths", OnePage(box,
      "q 0 0 220 180 re W n " + inTriangle + "0 0 240 100 re W n q " + Circle(182, 70, 50) +
      "W n 0 0 1 rg 0 0 240 180 re f Q Q 1 0 0 rg 0 120 240 60 re f Q Q "
      "0 0.6 0 rg 10 10 40 40 re f")});
  pages.push_back({"clip_ring", OnePage(box,
      "q " + Circle(120, 90, 70) + Circle(120, 90, 35) + "W* n " + stripes +
      "0 0 0 RG 2 w 0 90 m 240 90 l S Q")});
  // A group multiplied onto stripes, a knockout group whose card at opacity 0 cuts its
  // first element, and a path and text painted straight under a luminosity soft mask: drawn
  // as pieces of the page picture, so the metafile looks as the page.
  const std::string form = "/Type /XObject /Subtype /Form /BBox [0 0 240 180] ";
  pages.push_back({"transparency", OnePage(box,
      stripes + "/M gs /G Do /N gs /K Do q /S gs 0.5 0 0.8 rg 10 130 220 40 re f "
      "0 g BT /F1 30 Tf 60 140 Td (Mask) Tj ET Q 0 0 0 RG 2 w 0 150 m 240 150 l S",
      "<< /XObject << /G 10 0 R /K 11 0 R >> /Font << /F1 << /Type /Font /Subtype /Type1 "
      "/BaseFont /Helvetica >> >> /ExtGState << /M << /BM /Multiply >> /N << /BM /Normal >> "
      "/S << /SMask << /S /Luminosity /G 12 0 R >> >> >> >>",
      {{10, {form + "/Group << /S /Transparency >>", "0.9 0.8 0.2 rg 20 20 80 140 re f"}},
       {11, {form + "/Group << /S /Transparency /K true >> /Resources << /ExtGState << "
                    "/Z << /ca 0 >> >> >>",
             "0.2 0.7 0.3 rg 130 20 90 140 re f /Z gs 150 60 50 60 re f"}},
       {12, {"/Type /XObject /Subtype /Form /BBox [0 120 240 180] "
             "/Group << /S /Transparency /CS /DeviceGray >>",
             "1 g 0 120 120 60 re f 0.3 g 120 120 120 60 re f"}}})});
  pages.push_back({"cmyk", OnePage(box,
      "1 0 0 0 k 10 10 70 70 re f 0 1 0 0 k 85 10 70 70 re f 0 0 1 0 k 160 10 70 70 re f "
      "0 0 0 1 k 10 95 70 70 re f 0.2 0.4 0.1 0.1 k 85 95 70 70 re f "
      "0.5 0 0.5 0 K 8 w 165 100 m 225 160 l S")});
  pages.push_back({"rotated", OnePage(box + " /Rotate 90",
      "1 0 0 rg 10 10 60 40 re f 0 0 1 rg 150 100 80 70 re f 0 0 0 RG 5 w 10 170 m 230 100 l S")});
  // A 4 x 2 RGB picture, upright and then turned by 30 degrees.
  const std::string pixels("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\xFF\xFF\x00"
                           "\x00\x00\x00\x80\x80\x80\xFF\x00\xFF\x00\xFF\xFF", 24);
  pages.push_back({"images", OnePage(box,
      "q 100 0 0 50 10 20 cm /Im1 Do Q q 0.866 0.5 -0.5 0.866 150 40 cm 70 0 0 35 0 0 cm /Im1 Do Q",
      "<< /XObject << /Im1 5 0 R >> >>",
      {{5, {"/Type /XObject /Subtype /Image /Width 4 /Height 2 /ColorSpace /DeviceRGB "
            "/BitsPerComponent 8", pixels}}})});
  // The turned picture again, cut by a circle.
  pages.push_back({"clip_image", OnePage(box,
      "q " + Circle(120, 90, 60) + "W n 0.866 0.5 -0.5 0.866 100 10 cm 150 0 0 100 0 0 cm "
      "/Im1 Do Q q 10 10 m 60 10 l 35 60 l h W n 200 0 0 170 0 0 cm /Im1 Do Q",
      "<< /XObject << /Im1 5 0 R >> >>",
      {{5, {"/Type /XObject /Subtype /Image /Width 4 /Height 2 /ColorSpace /DeviceRGB "
            "/BitsPerComponent 8", pixels}}})});
  return pages;
}

TPixelTolerance ReaderTolerance() {
  TPixelTolerance t;
  t.FlatMax = 24;
  t.MaxMean = 4.0;
  t.MaxFarOffFraction = 0.04;
  return t;
}

constexpr double kDpi = 96;

TRgbImage Crop(const TRgbImage& from, int x0, int y0, int w, int h) {
  TRgbImage out{w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h * 3)};
  for (int y = 0; y < h; ++y) {
    std::copy_n(from.At(x0, y0 + y), static_cast<std::size_t>(w) * 3,
                out.Rgb.begin() + static_cast<std::ptrdiff_t>(y) * w * 3);
  }
  return out;
}

// The picture's place on the page is centred up to the page's rounding: the window of our
// size within two pixels of the centre that differs least from our picture.
TRgbImage CropBestMatch(const TRgbImage& page, const TRgbImage& ours) {
  const int cx = (page.Width - ours.Width) / 2, cy = (page.Height - ours.Height) / 2;
  long best = -1;
  TRgbImage bestCrop;
  for (int dy = -2; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) {
      const int x0 = cx + dx, y0 = cy + dy;
      if (x0 < 0 || y0 < 0 || x0 + ours.Width > page.Width || y0 + ours.Height > page.Height)
        continue;
      TRgbImage crop = Crop(page, x0, y0, ours.Width, ours.Height);
      long diff = 0;
      for (std::size_t i = 0; i < crop.Rgb.size(); ++i) diff += std::abs(crop.Rgb[i] - ours.Rgb[i]);
      if (best < 0 || diff < best) {
        best = diff;
        bestCrop = std::move(crop);
      }
    }
  }
  return bestCrop;
}

class MetafileInterop : public ::testing::Test {
 protected:
  // Writes every page as both formats.
  void WriteAll(const std::vector<TPage>& pages) {
    for (const TPage& p : pages) {
      for (const char* ext : {"wmf", "emf"}) {
        std::string problem;
        const TBytes bytes = ConvertFirstPage(p.pdf, ext[0] == 'w' ? 2 : 3, kDpi, &problem);
        ASSERT_FALSE(bytes.empty()) << p.name << "." << ext;
        EXPECT_EQ(problem, "") << p.name << "." << ext;
        files_.push_back(dir_.Write(p.name + "_" + ext + "." + ext, bytes));
      }
    }
  }

  void Compare(const TPage& page, const std::string& path, const TPixelTolerance& tolerance,
               bool onPage) {
    std::optional<TRgbImage> ours = testing::RenderWithKestrel(page.pdf, kDpi);
    ASSERT_TRUE(ours) << page.name;
    std::optional<TRgbImage> theirs = LoadPng(path);
    ASSERT_TRUE(theirs) << path;
    if (onPage) {
      // LibreOffice Draw places the picture, at the size its header gives (96 units an inch,
      // so one unit a pixel here), in the middle of a default page and exports that page.
      ASSERT_GE(theirs->Width, ours->Width) << path;
      ASSERT_GE(theirs->Height, ours->Height) << path;
      *theirs = CropBestMatch(*theirs, *ours);
    } else if (theirs->Width != ours->Width || theirs->Height != ours->Height) {
      EXPECT_NEAR(double(theirs->Width) / theirs->Height, double(ours->Width) / ours->Height,
                  0.03)
          << path;
      *theirs = Resample(*theirs, ours->Width, ours->Height);
    }
    const testing::TPixelComparison result = ComparePixels(*ours, *theirs, tolerance);
    if (!result.Passed) {
      const std::string keep = ::testing::TempDir() + "/metafile-" +
                               std::filesystem::path(path).filename().string();
      testing::WritePng(*ours, keep + ".ours.png");
      testing::WritePng(*theirs, keep + ".theirs.png");
      testing::WritePng(result.Diff, keep + ".diff.png");
    }
    EXPECT_TRUE(result.Passed) << path << ": " << result.Summary();
  }

  void TearDown() override {
    // For looking at the files by hand: PLOVER_KEEP_METAFILES=<folder> keeps a copy.
    if (const char* keep = std::getenv("PLOVER_KEEP_METAFILES")) {
      std::error_code ec;
      std::filesystem::copy(dir_.Path(), keep,
                            std::filesystem::copy_options::recursive |
                                std::filesystem::copy_options::overwrite_existing, ec);
    }
  }

  testsupport::TempDir dir_;
  std::vector<std::string> files_;
};

TEST_F(MetafileInterop, LibreOfficeDrawsOurMetafilesAsWeRenderThePage) {
  if (!HaveProgram("soffice")) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  const std::vector<TPage> pages = Pages();
  WriteAll(pages);
  ASSERT_FALSE(HasFatalFailure());
  testsupport::TempDir profile;
  const std::string out = dir_.Path() + "/lo";
  std::filesystem::create_directories(out);
  std::vector<std::string> args{"soffice", "--headless", "--norestore",
                                "-env:UserInstallation=file://" + profile.Path(),
                                "--convert-to", "png", "--outdir", out};
  args.insert(args.end(), files_.begin(), files_.end());
  ASSERT_EQ(RunProgram(args, nullptr, 600), 0);
  for (const TPage& p : pages) {
    for (const char* ext : {"wmf", "emf"}) {
      SCOPED_TRACE(p.name + "." + ext);
      // LibreOffice names every output after its input without the extension.
      Compare(p, out + "/" + p.name + "_" + ext + ".png", ReaderTolerance(), true);
    }
  }
}

// libwmf reads the Windows metafile into SVG (wmf2svg). Its SVG cannot be compared by pixels:
// libwmf 0.2.12 names colours by the nearest SVG colour name, leaves polylines with the
// default black fill and drops clips. So the SVG's structure is checked instead: the page
// size from the placeable header, every shape with its fill rule, pens with their caps and
// joins, dashes as separate solid pieces, pictures.
std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(MetafileInterop, LibWmfReadsOurWindowsMetafiles) {
  if (!HaveProgram("wmf2svg")) GTEST_SKIP() << "libwmf (wmf2svg) is not installed";
  const std::vector<TPage> pages = Pages();
  WriteAll(pages);
  ASSERT_FALSE(HasFatalFailure());
  std::map<std::string, std::string> svg;
  for (const TPage& p : pages) {
    const std::string wmf = dir_.Path() + "/" + p.name + "_wmf.wmf";
    const std::string out = dir_.Path() + "/" + p.name + ".svg";
    ASSERT_EQ(RunProgram({"wmf2svg", "-o", out, wmf}), 0) << wmf;
    std::ifstream in(out);
    svg[p.name].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const bool turned = p.name == "rotated";
    EXPECT_NE(svg[p.name].find(turned ? "<svg width=\"240\" height=\"320\""
                                      : "<svg width=\"320\" height=\"240\""),
              std::string::npos)
        << p.name;
    EXPECT_EQ(Count(svg[p.name], "fill-opacity:0."), 0u) << p.name;
  }
  // Background, two rectangles and a triangle as polygons; the two-square shapes as paths,
  // the even-odd one with its rule.
  const std::string& fills = svg["fills"];
  EXPECT_EQ(Count(fills, "<polygon") + Count(fills, "<path"), 5u);
  EXPECT_EQ(Count(fills, "fill-rule:evenodd"), 1u);
  EXPECT_EQ(Count(fills, "fill:red"), 1u);
  EXPECT_EQ(Count(fills, "fill:blue"), 1u);
  const std::string& strokes = svg["strokes"];
  for (const char* cap : {"butt", "round", "square"})
    EXPECT_GE(Count(strokes, std::string("stroke-linecap:") + cap), 1u) << cap;
  for (const char* join : {"miter", "round", "bevel"})
    EXPECT_GE(Count(strokes, std::string("stroke-linejoin:") + join), 1u) << join;
  EXPECT_EQ(Count(strokes, "stroke-dasharray:none"), Count(strokes, "stroke-dasharray"));
  // 3 chevrons + 9 dots + the dashed corner cut into dashes (90 + 60 long, 18 a period).
  EXPECT_GE(Count(strokes, "<polyline"), 3u + 9u + 8u);
}

// libwmf's own rasteriser (wmf2gd, at 72 dpi and without anti-aliasing or round caps) draws
// the pages of fills, clips and colours as we render them. Pictures are left out by this
// libwmf build (no bitmap support in its SVG, EPS or GD output), and strokes are checked in
// the SVG above.
TEST_F(MetafileInterop, LibWmfRastersOurWindowsMetafilesAsWeRenderThePage) {
  if (!HaveProgram("wmf2gd")) GTEST_SKIP() << "libwmf (wmf2gd) is not installed";
  const std::vector<TPage> pages = Pages();
  WriteAll(pages);
  ASSERT_FALSE(HasFatalFailure());
  for (const TPage& p : pages) {
    // Pages whose strokes end in butt caps (gd draws its own ends), or whose thick strokes
    // are cut by a clip path (the pen's cap at the cut sticks out beyond the path by half its
    // width), are checked by LibreOffice.
    if (p.name == "strokes" || p.name == "cmyk" || p.name == "images" || p.name == "clip_image" ||
        p.name == "transparency" ||
        p.name == "clip_stripes" || p.name == "clip_nested_ring")
      continue;
    SCOPED_TRACE(p.name + ".wmf via wmf2gd");
    const std::string wmf = dir_.Path() + "/" + p.name + "_wmf.wmf";
    const std::string png = dir_.Path() + "/" + p.name + "_gd.png";
    ASSERT_EQ(RunProgram({"wmf2gd", "-t", "png", "-o", png, wmf}), 0) << wmf;
    Compare(p, png, ReaderTolerance(), false);
  }
}

}  // namespace
}  // namespace kestrel::interop
