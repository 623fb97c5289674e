// The EPS writer on its own: header, prolog, colours, states, trailer comments and images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "engine/output/eps/eps_export.h"
#include "engine/syntax/filters.h"

namespace kestrel {
namespace {

using Lines = std::vector<std::string>;

// The lines after the prolog.
Lines Body(const TPDFEPSExport& eps) {
  const Lines& all = eps.Lines();
  auto it = std::find(all.begin(), all.end(), "%%KestrelLibrary-End");
  return it == all.end() ? Lines{} : Lines(it + 1, all.end());
}

std::size_t CountOf(const Lines& lines, const std::string& line) {
  return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

std::size_t IndexOf(const Lines& lines, const std::string& line) {
  return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

TEST(EPSExport, HeaderThenAPrologDefiningEveryAbbreviationTheBodyUses) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 595.5, 842);
  const Lines& all = eps.Lines();
  ASSERT_GE(all.size(), 7u);
  EXPECT_EQ(all[0], "%!PS-Adobe-3.0 EPSF-3.0");
  EXPECT_EQ(all[1], "%%BoundingBox: 0 0 596 842");
  EXPECT_EQ(all[4], "%%EndComments");
  EXPECT_EQ(all[5], "%%KestrelLibrary-Start");
  EXPECT_EQ(all.back(), "%%KestrelLibrary-End");

  // Each prolog line is "/name { operator } def"; collect the names.
  std::set<std::string> defined;
  for (std::size_t i = 6; i + 1 < all.size(); ++i) {
    const std::string& line = all[i];
    ASSERT_EQ(line[0], '/') << line;
    ASSERT_NE(line.find(" { "), std::string::npos) << line;
    ASSERT_TRUE(line.ends_with(" } def")) << line;
    defined.insert(line.substr(1, line.find(' ') - 1));
  }

  // Drive every path, state and clip operation and check the last word of each body line.
  eps.SaveState();
  eps.BeginPath();
  eps.MoveTo(0, 0);
  eps.LineTo(1, 2);
  eps.CurveTo(1, 2, 3, 4, 5, 6);
  eps.QuadTo(6, 6, 9, 0);
  eps.ClosePath();
  eps.FillPath();
  eps.StrokePath();
  eps.FillStrokePath();
  eps.SetClip(kFillRuleEvenOdd);
  eps.EndPath();
  eps.SetClip(kFillRuleNonZero);
  eps.EndPath();
  eps.RestoreState();
  std::set<std::string> used;
  for (const std::string& line : Body(eps)) used.insert(line.substr(line.rfind(' ') + 1));
  for (const char* op : {"q", "Q", "n", "m", "l", "c", "h", "f", "s", "W", "W*"})
    EXPECT_TRUE(used.count(op)) << op << " was not written";
  for (const std::string& op : used) EXPECT_TRUE(defined.count(op)) << op << " is not defined";
}

TEST(EPSExport, BoundingBoxRoundsHalfToEven) {
  TPDFEPSExport eps;
  eps.StartDocument(0.5, 1.5, 594.5, 841.5);
  EXPECT_EQ(eps.Lines()[1], "%%BoundingBox: 0 2 594 842");
  eps.StartDocument(-2.5, -0.4, 10.6, std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(eps.Lines()[1], "%%BoundingBox: -2 0 11 0");
  // Starting again drops what was written before.
  EXPECT_EQ(std::count(eps.Lines().begin(), eps.Lines().end(), "%%EndComments"), 1);
}

TEST(EPSExport, NumbersNeverUseExponentsOrNonFiniteValues) {
  EXPECT_EQ(EPSNumber(0.5), "0.5");
  EXPECT_EQ(EPSNumber(3.0), "3");
  EXPECT_EQ(EPSNumber(1.0 / 3), "0.3333");
  EXPECT_EQ(EPSNumber(-2.00004), "-2");
  EXPECT_EQ(EPSNumber(-0.00001), "0");
  EXPECT_EQ(EPSNumber(std::numeric_limits<double>::quiet_NaN()), "0");
  EXPECT_EQ(EPSNumber(std::numeric_limits<double>::infinity()), "1000000000");
  EXPECT_EQ(EPSNumber(-std::numeric_limits<double>::infinity()), "-1000000000");
  EXPECT_EQ(EPSNumber(1e300), "1000000000");
  EXPECT_EQ(EPSNumber(1e-300), "0");
  EXPECT_EQ(EPSLine({1, 2.25}, "m"), "1 2.25 m");
  EXPECT_EQ(EPSLine({}, "h"), "h");
}

TEST(EPSExport, AddLineDropsOneTrailingSpace) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 1, 1);
  eps.AddLine("1 w ");
  eps.AddLine("2 w  ");
  eps.AddLine("");
  EXPECT_EQ(Body(eps), (Lines{"1 w", "2 w ", ""}));
}

TEST(EPSExport, ColourIsWrittenOnlyWhenItChanges) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 1, 1);
  // The first colour is written whatever it is (green included).
  eps.SetColor("0 1 0 setrgbcolor");
  eps.SetColor("0 1 0 setrgbcolor");
  eps.AddLine("f");
  eps.SetColor("0 1 0 setrgbcolor");
  eps.AddLine("f");
  eps.SetColor("1 0 0 setrgbcolor");
  eps.SetColor("");  // nothing to write
  eps.SetColor("1 0 0 setrgbcolor");
  EXPECT_EQ(Body(eps), (Lines{"0 1 0 setrgbcolor", "f", "f", "1 0 0 setrgbcolor"}));
  eps.ForgetColor();
  eps.SetColor("1 0 0 setrgbcolor");
  EXPECT_EQ(CountOf(Body(eps), "1 0 0 setrgbcolor"), 2u);
}

TEST(EPSExport, RestoreStateBringsBackTheColourInForceBeforeSave) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 1, 1);
  eps.SetColor("1 0 0 setrgbcolor");
  eps.SaveState();
  eps.SetColor("0 0 1 setrgbcolor");
  eps.AddLine("f");
  eps.RestoreState();
  eps.SetColor("1 0 0 setrgbcolor");  // PostScript is red again after Q: nothing to write
  eps.SetColor("0 0 1 setrgbcolor");  // but blue must be set again
  EXPECT_EQ(Body(eps), (Lines{"1 0 0 setrgbcolor", "q", "0 0 1 setrgbcolor", "f", "Q",
                              "0 0 1 setrgbcolor"}));
  // A Q without q still writes its line but changes nothing else.
  eps.RestoreState();
  eps.SetColor("0 0 1 setrgbcolor");
  EXPECT_EQ(Body(eps).back(), "Q");
}

TEST(EPSExport, ClipSnapshotsAreStateLevelsAndCloseWhatWasLeftOpen) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 1, 1);
  const TClipHandle outer = eps.SaveClip();
  eps.SaveState();
  eps.SaveState();  // two levels that nobody closes
  EXPECT_EQ(eps.Depth(), 3u);
  eps.RestoreClip(outer);
  EXPECT_EQ(eps.Depth(), 0u);
  EXPECT_EQ(CountOf(Body(eps), "Q"), 3u);
  eps.RestoreClip(outer);  // already closed: nothing more
  eps.RestoreClip(0);
  EXPECT_EQ(CountOf(Body(eps), "Q"), 3u);
}

TEST(EPSExport, CanvasOperationsWriteThePathLines) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 100, 100);
  eps.BeginPath();
  eps.MoveTo(0, 0);
  eps.QuadTo(30, 60, 90, 0);
  eps.LineTo(1.5, 2.25);
  eps.CurveTo(1, 2, 3, 4, 5, 6);
  eps.ClosePath();
  eps.FillStrokePath();
  eps.StrokePath();
  eps.FillPath();
  eps.SetClip(kFillRuleEvenOdd);
  eps.EndPath();
  eps.EndPath();  // no clip pending: nothing
  // The quadratic (0,0) (30,60) (90,0) is the cubic with controls (20,40) and (50,40).
  EXPECT_EQ(Body(eps)[2], "20 40 50 40 90 0 c");
  const Lines expected = {"n", "0 0 m", "20 40 50 40 90 0 c", "1.5 2.25 l", "1 2 3 4 5 6 c",
                          "h", "q", "f", "Q", "s", "s", "f", "W*", "n"};
  EXPECT_EQ(Body(eps), expected);
}

TEST(EPSExport, SegmentsWithoutACurrentPointStartTheSubpath) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 100, 100);
  eps.BeginPath();
  eps.ClosePath();
  eps.LineTo(1, 2);
  eps.LineTo(3, 4);
  eps.BeginPath();
  eps.CurveTo(1, 1, 2, 2, 3, 3);
  eps.BeginPath();
  eps.QuadTo(6, 6, 9, 0);
  EXPECT_EQ(Body(eps), (Lines{"n", "1 2 m", "3 4 l", "n", "1 1 m", "1 1 2 2 3 3 c", "n", "6 6 m",
                              "6 6 7 4 9 0 c"}));
}

TEST(EPSExport, QuadToStartsFromTheLastEndPoint) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 100, 100);
  eps.MoveTo(0, 0);
  eps.CurveTo(0, 0, 0, 0, 30, 30);
  eps.QuadTo(30, 90, 90, 30);
  EXPECT_EQ(Body(eps).back(), "30 70 50 70 90 30 c");
}

TEST(EPSExport, CustomColoursGetOneHeaderCommentEach) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 10, 10);
  const std::string gold = "0 0.1 0.9 0 (Gold) findcmykcustomcolor 0.5 setcustomcolor";
  const std::string gold2 = "0 0.1 0.9 0 (Gold) findcmykcustomcolor 1 setcustomcolor";
  const std::string teal = "0.8 0 0.3 0 (Teal) findcmykcustomcolor 1 setcustomcolor";
  eps.SetColor(gold);
  eps.SetColor("0 setgray");
  eps.SetColor(gold);
  eps.SetColor(teal);
  eps.SetColor(gold2);
  eps.FinishDocument();
  const Lines& lines = eps.Lines();
  const std::size_t end = IndexOf(lines, "%%EndComments");
  ASSERT_GE(end, 7u);
  // One entry per colorant whatever its tints, names first, then the CMYK definitions.
  const Lines header(lines.begin() + 3, lines.begin() + static_cast<long>(end));
  EXPECT_EQ(header, (Lines{"%%DocumentProcessColors: (Cyan) (Magenta) (Yellow) (Black)",
                           "%%DocumentCustomColors: (Gold)", "%%+ (Teal)",
                           "%%CMYKCustomColor: 0 0.1 0.9 0 (Gold)", "%%+ 0.8 0 0.3 0 (Teal)"}));
  // The colour lines themselves are all written.
  EXPECT_EQ(CountOf(Body(eps), gold), 2u);
  EXPECT_EQ(CountOf(Body(eps), gold2), 1u);
  EXPECT_EQ(lines.back(), "%%EOF");
}

TEST(EPSExport, FinishClosesOpenStatesAndEndsWithEOFAndCRLF) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 10, 10);
  eps.SaveState();
  eps.SaveState();
  eps.FinishDocument();
  EXPECT_EQ(Body(eps), (Lines{"q", "q", "Q", "Q", "%%EOF"}));
  TBytes out = "prefix";
  eps.WriteTo(out);
  EXPECT_EQ(out.rfind("prefix%!PS-Adobe-3.0 EPSF-3.0\r\n%%BoundingBox: 0 0 10 10\r\n", 0), 0u);
  ASSERT_GE(out.size(), 7u);
  EXPECT_EQ(out.substr(out.size() - 7), "%%EOF\r\n");
  // Every line ends in CR LF, and no bare LF is written.
  std::size_t lf = 0, crlf = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] != '\n') continue;
    ++lf;
    if (i > 0 && out[i - 1] == '\r') ++crlf;
  }
  EXPECT_EQ(lf, crlf);
  EXPECT_EQ(lf, eps.Lines().size());
}

TEST(EPSExport, FullBufferDropsLinesButStaysBalancedAndEnds) {
  TPDFEPSExport eps;
  eps.MaxBytes = 1200;
  eps.StartDocument(0, 0, 10, 10);
  eps.SaveState();
  for (int i = 0; i < 200; ++i) eps.AddLine(EPSLine({double(i), 1}, "m"));
  EXPECT_TRUE(eps.Full());
  const std::size_t lines = eps.Lines().size();
  eps.SaveState();
  eps.AddLine("1 1 l");
  TCanvasBitmap img;
  img.Width = img.Height = 1;
  img.Pixels = {0xFF000000u};
  eps.DrawImage(img, nullptr, "x");
  EXPECT_EQ(eps.Lines().size(), lines);
  eps.FinishDocument();
  // The q written before the limit is closed; the one dropped is not.
  const Lines body = Body(eps);
  EXPECT_EQ(CountOf(body, "q"), 1u);
  EXPECT_EQ(CountOf(body, "Q"), 1u);
  EXPECT_EQ(body.back(), "%%EOF");
  EXPECT_EQ(body[body.size() - 2], "Q");
}

// ---- images ----

TCanvasBitmap Picture(int w, int h, std::uint32_t (*pixel)(int, int)) {
  TCanvasBitmap b;
  b.Width = w;
  b.Height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.Pixels.push_back(pixel(x, y));
  return b;
}

// The bytes of the data line that follows the `nth` "/ReusableStreamDecode filter" line.
TBytes EmbeddedData(const Lines& lines, int nth) {
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i] == "/ReusableStreamDecode filter" && nth-- == 0)
      return InflateBytes(DecodeASCII85(lines[i + 1]));
  }
  return {};
}

TEST(EPSExport, ImageIsEmbeddedOnceAndDrawnEveryTime) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 10, 10);
  const TCanvasBitmap img = Picture(3, 2, [](int x, int y) -> std::uint32_t {
    return 0xFF000000u | (std::uint32_t(x * 80) << 16) | (std::uint32_t(y * 200) << 8) | 7u;
  });
  eps.SetColor("1 0 0 setrgbcolor");
  eps.DrawImage(img, nullptr, "12.0.R");
  eps.DrawImage(img, nullptr, "12.0.R");
  eps.SetColor("1 0 0 setrgbcolor");  // the drawings leave the colour as it was
  const Lines body = Body(eps);
  EXPECT_EQ(CountOf(body, "currentfile /ASCII85Decode filter /FlateDecode filter"), 1u);
  EXPECT_EQ(CountOf(body, "/datastreamfor12.0.R exch def"), 1u);
  EXPECT_EQ(CountOf(body, "datastreamfor12.0.R resetfile"), 2u);
  EXPECT_EQ(CountOf(body, "ImageDataDictionaryfor12.0.R image"), 2u);
  EXPECT_EQ(CountOf(body, "/DeviceRGB setcolorspace"), 2u);
  EXPECT_EQ(CountOf(body, "1 0 0 setrgbcolor"), 1u);
  EXPECT_EQ(CountOf(body, "/ImageMatrix [ 3 0 0 -2 0 2 ] def"), 1u);
  EXPECT_EQ(CountOf(body, "/Width 3 def"), 1u);
  EXPECT_EQ(CountOf(body, "/Height 2 def"), 1u);
  EXPECT_EQ(CountOf(body, "MaskedImageDictionaryfor12.0.R image"), 0u);
  // Red, green, blue of every pixel, rows top to bottom.
  const TBytes data = EmbeddedData(body, 0);
  ASSERT_EQ(data.size(), 18u);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const std::size_t i = std::size_t(y * 3 + x) * 3;
      EXPECT_EQ(static_cast<std::uint8_t>(data[i]), x * 80);
      EXPECT_EQ(static_cast<std::uint8_t>(data[i + 1]), y * 200);
      EXPECT_EQ(static_cast<std::uint8_t>(data[i + 2]), 7);
    }
  }
  // Drawing sequence: q, colour space, resetfile, image, Q.
  const std::size_t draw = IndexOf(body, "/DeviceRGB setcolorspace");
  EXPECT_EQ(body[draw - 1], "q");
  EXPECT_EQ(body[draw + 1], "datastreamfor12.0.R resetfile");
  EXPECT_EQ(body[draw + 3], "Q");
}

TEST(EPSExport, MaskBitsAreOneWhereTheMaskShowsTheImage) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 10, 10);
  const TCanvasBitmap img = Picture(10, 2, [](int, int) -> std::uint32_t { return 0xFF0000FFu; });
  // Left half white (shown), right half black (hidden) in the first row; the reverse below.
  const TCanvasBitmap mask = Picture(10, 2, [](int x, int y) -> std::uint32_t {
    return (x < 5) == (y == 0) ? 0xFFFFFFFFu : 0xFF000000u;
  });
  eps.DrawImage(img, &mask, "Inline7");
  eps.DrawImage(img, &mask, "Inline7");
  const Lines body = Body(eps);
  const TBytes bits = EmbeddedData(body, 0);
  ASSERT_EQ(bits.size(), 4u);  // two bytes a row
  EXPECT_EQ(static_cast<std::uint8_t>(bits[0]), 0xF8);
  EXPECT_EQ(static_cast<std::uint8_t>(bits[1]), 0x00);
  EXPECT_EQ(static_cast<std::uint8_t>(bits[2]), 0x07);
  EXPECT_EQ(static_cast<std::uint8_t>(bits[3]), 0xC0);
  EXPECT_EQ(EmbeddedData(body, 1).size(), 60u);
  EXPECT_EQ(CountOf(body, "/maskstreamfor" "Inline7 exch def"), 1u);
  EXPECT_EQ(CountOf(body, "/Decode [ 1 0 ] def"), 1u);
  EXPECT_EQ(CountOf(body, "/ImageType 3 def"), 1u);
  EXPECT_EQ(CountOf(body, "/MaskDict ImageMaskDictionaryforInline7 def"), 1u);
  EXPECT_EQ(CountOf(body, "maskstreamforInline7 resetfile"), 2u);
  EXPECT_EQ(CountOf(body, "MaskedImageDictionaryforInline7 image"), 2u);
  EXPECT_LT(IndexOf(body, "/maskstreamforInline7 exch def"),
            IndexOf(body, "/datastreamforInline7 exch def"));
}

TEST(EPSExport, PictureAlphaAndColourKeyBecomeTheMask) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 10, 10);
  TCanvasBitmap img = Picture(8, 1, [](int x, int) -> std::uint32_t {
    return (x < 2 ? 0x00000000u : 0xFF000000u) | (x == 7 ? 0x00FF0000u : 0x000000FFu);
  });
  img.ColorKey = TCanvasColorKey{{250, 0, 0}, {255, 5, 5}};  // the red pixel is transparent
  eps.DrawImage(img, nullptr, "a");
  const TBytes bits = EmbeddedData(Body(eps), 0);
  ASSERT_EQ(bits.size(), 1u);
  EXPECT_EQ(static_cast<std::uint8_t>(bits[0]), 0x3E);
  // An opaque picture gets no mask.
  eps.DrawImage(Picture(2, 2, [](int, int) -> std::uint32_t { return 0xFF102030u; }), nullptr, "b");
  EXPECT_EQ(CountOf(Body(eps), "ImageDataDictionaryforb image"), 1u);
}

TEST(EPSExport, UnusablePicturesDrawNothingAndIdentifiersStayNames) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 10, 10);
  TCanvasBitmap short_;
  short_.Width = 4;
  short_.Height = 4;
  short_.Pixels.assign(15, 0xFF000000u);
  eps.DrawImage(short_, nullptr, "x");
  TCanvasBitmap empty;
  eps.DrawImage(empty, nullptr, "y");
  TCanvasBitmap huge;
  huge.Width = 1 << 30;
  huge.Height = 1 << 30;
  eps.DrawImage(huge, nullptr, "z");
  EXPECT_TRUE(Body(eps).empty());
  // A mask that cannot be used is left out; the picture is still drawn.
  TCanvasBitmap ok = Picture(1, 1, [](int, int) -> std::uint32_t { return 0xFFFFFFFFu; });
  eps.DrawImage(ok, &short_, "a b/(c)");
  EXPECT_EQ(CountOf(Body(eps), "ImageDataDictionaryfora#20b#2F#28c#29 image"), 1u);
}

}  // namespace
}  // namespace kestrel
