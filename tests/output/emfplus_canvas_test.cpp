// The EMF+ canvas: the file structure it writes and the records each canvas call becomes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/output/emfplus/emfplus_objects.h"
#include "engine/output/emfplus/emfplus_writer.h"
#include "support/png_decoder.h"
#include "engine/output/emfplus/emfplus_canvas.h"
#include "output/emfplus_reader.h"

namespace kestrel {
namespace {

using emfplustest::Get32;
using emfplustest::GetF;
using emfplustest::ReadEmfPlus;
using emfplustest::ReadPath;
using emfplustest::TEmfFile;
using emfplustest::TPlusRecord;

TEmfFile Parse(const TBytes& bytes) {
  std::string error;
  std::optional<TEmfFile> f = ReadEmfPlus(bytes, &error);
  EXPECT_TRUE(f) << error;
  return f.value_or(TEmfFile{});
}

std::vector<TPlusRecord> OfType(const TEmfFile& f, std::uint16_t type) {
  std::vector<TPlusRecord> out;
  for (const TPlusRecord& r : f.Plus) {
    if (r.Type == type) out.push_back(r);
  }
  return out;
}

// Object records of one kind ((flags >> 8) & 0x7F).
std::vector<TPlusRecord> Objects(const TEmfFile& f, int kind) {
  std::vector<TPlusRecord> out;
  for (const TPlusRecord& r : OfType(f, emfplus::kObject)) {
    if (((r.Flags >> 8) & 0x7F) == kind) out.push_back(r);
  }
  return out;
}

std::unique_ptr<TEmfPlusCanvas> MakeCanvas(int w = 100, int h = 80, double dpi = 96,
                                           bool antialias = true) {
  TGDIPlusSettings s;
  s.AntiAlias = antialias;
  auto c = TEmfPlusCanvas::Create(w, h, dpi, s);
  EXPECT_TRUE(c);
  return c;
}

void Square(TPDFGenericCanvas& c, double x0, double y0, double x1, double y1) {
  c.BeginPath();
  c.MoveTo(x0, y0);
  c.LineTo(x1, y0);
  c.LineTo(x1, y1);
  c.LineTo(x0, y1);
  c.ClosePath();
}

TEST(EmfPlusCanvas, HeaderDescribesThePageAtTheRenderResolution) {
  auto c = MakeCanvas(816, 1056, 96);
  const TBytes bytes = c->Finish();
  const TEmfFile f = Parse(bytes);
  EXPECT_EQ(f.Bytes, bytes.size());
  EXPECT_EQ(f.Bounds[2], 815);
  EXPECT_EQ(f.Bounds[3], 1055);
  // 816 pixels at 96 dpi are 8.5 inches = 21590 hundredths of a millimetre.
  EXPECT_EQ(f.Frame[2], 21589);
  EXPECT_EQ(f.Frame[3], 27939);
  // The reference device has the render resolution: pixels per millimetre = 96 / 25.4.
  EXPECT_DOUBLE_EQ(f.Device[0] * 25.4 / f.Millimeters[0], 96.0);
  EXPECT_DOUBLE_EQ(f.Device[1] * 25.4 / f.Millimeters[1], 96.0);
  EXPECT_GE(f.Device[0], 816);
  EXPECT_GE(f.Device[1], 1056);
  // EMF+ header: version, display reference, logical resolution; then page unit pixel.
  const TPlusRecord& header = f.Plus.front();
  ASSERT_EQ(header.Data.size(), 16u);
  EXPECT_EQ(Get32(header.Data, 0), 0xDBC01002u);
  EXPECT_EQ(Get32(header.Data, 8), 96u);
  EXPECT_EQ(f.EmfTypes.front(), 1u);
  EXPECT_EQ(f.EmfTypes.back(), 14u);
  const auto page = OfType(f, emfplus::kSetPageTransform);
  ASSERT_EQ(page.size(), 1u);
  EXPECT_EQ(page[0].Flags, 2);  // pixel
  EXPECT_EQ(GetF(page[0].Data, 0), 1.0f);
  // Drawing after Finish records nothing and a second Finish is empty.
  Square(*c, 0, 0, 5, 5);
  c->FillPath();
  EXPECT_TRUE(c->Finish().empty());
}

TEST(EmfPlusCanvas, HeaderAtOtherResolutionsKeepsPixelsAndMillimetresConsistent) {
  for (double dpi : {24.0, 72.0, 150.0, 600.0}) {
    auto c = MakeCanvas(300, 40, dpi);
    const TEmfFile f = Parse(c->Finish());
    EXPECT_NEAR(f.Device[0] * 25.4 / f.Millimeters[0], dpi, 1e-9) << dpi;
    EXPECT_NEAR(f.Frame[2] + 1, 300 * 2540 / dpi, 0.5) << dpi;
    EXPECT_EQ(Get32(f.Plus.front().Data, 8), static_cast<std::uint32_t>(dpi));
  }
}

TEST(EmfPlusCanvas, RefusesUnusableSizes) {
  TGDIPlusSettings s;
  EXPECT_FALSE(TEmfPlusCanvas::Create(0, 10, 96, s));
  EXPECT_FALSE(TEmfPlusCanvas::Create(10, -1, 96, s));
  EXPECT_FALSE(TEmfPlusCanvas::Create(TEmfPlusCanvas::kMaxExtent + 1, 10, 96, s));
  EXPECT_FALSE(TEmfPlusCanvas::Create(10, 10, std::nan(""), s));
  EXPECT_FALSE(TEmfPlusCanvas::Create(10, 10, 0, s));
  EXPECT_TRUE(TEmfPlusCanvas::Create(TEmfPlusCanvas::kMaxExtent, 1, 0.01, s));
}

TEST(EmfPlusCanvas, SmoothingFollowsTheSettings) {
  const TEmfFile on = Parse(MakeCanvas(10, 10, 96, true)->Finish());
  const TEmfFile off = Parse(MakeCanvas(10, 10, 96, false)->Finish());
  ASSERT_EQ(OfType(on, emfplus::kSetAntiAliasMode).size(), 1u);
  EXPECT_EQ(OfType(on, emfplus::kSetAntiAliasMode)[0].Flags, 0x09);  // anti-alias 8x4, on
  EXPECT_EQ(OfType(off, emfplus::kSetAntiAliasMode)[0].Flags, 0x06);  // none, off
  EXPECT_EQ(OfType(on, emfplus::kSetInterpolationMode)[0].Flags, 4);
  EXPECT_EQ(OfType(off, emfplus::kSetInterpolationMode)[0].Flags, 5);
  EXPECT_EQ(OfType(on, emfplus::kSetPixelOffsetMode)[0].Flags, 4);  // half
}

TEST(EmfPlusCanvas, FillWritesThePathAndAColourWithAlpha) {
  auto c = MakeCanvas();
  c->SetFillColor(PackRGB(255, 0, 0));
  c->SetFillAlpha(0.5);
  Square(*c, 10, 20, 30.25, 40);
  c->FillPath();
  const TEmfFile f = Parse(c->Finish());
  const auto paths = Objects(f, emfplus::kObjectPath);
  ASSERT_EQ(paths.size(), 1u);
  const auto path = ReadPath(paths[0].Data);
  ASSERT_TRUE(path);
  ASSERT_EQ(path->Points.size(), 4u);
  EXPECT_EQ(path->Points[2], std::make_pair(30.25f, 40.0f));
  EXPECT_EQ(path->Types, (std::vector<std::uint8_t>{0, 1, 1, 0x81}));
  const auto fills = OfType(f, emfplus::kFillPath);
  ASSERT_EQ(fills.size(), 1u);
  // Colour brush (S flag) of the path just defined; alpha Round(127.5) = 128.
  EXPECT_EQ(fills[0].Flags, 0x8000 | (paths[0].Flags & 0xFF));
  EXPECT_EQ(Get32(fills[0].Data, 0), 0x80FF0000u);
}

TEST(EmfPlusCanvas, CurvesStayBeziersAndQuadraticsBecomeCubics) {
  auto c = MakeCanvas();
  c->BeginPath();
  c->MoveTo(0, 0);
  c->QuadTo(3, 3, 6, 0);
  c->CurveTo(7, 1, 8, 2, 9, 3);
  c->FillPath();
  const auto path = ReadPath(Objects(Parse(c->Finish()), emfplus::kObjectPath).at(0).Data);
  ASSERT_TRUE(path);
  EXPECT_EQ(path->Types, (std::vector<std::uint8_t>{0, 3, 3, 3, 3, 3, 3}));
  EXPECT_EQ(path->Points[1], std::make_pair(2.0f, 2.0f));
  EXPECT_EQ(path->Points[2], std::make_pair(4.0f, 2.0f));
  EXPECT_EQ(path->Points[3], std::make_pair(6.0f, 0.0f));
  EXPECT_EQ(path->Points[6], std::make_pair(9.0f, 3.0f));
}

TEST(EmfPlusCanvas, LoneMovesAreLeftOutAndFiguresRestartAfterAClose) {
  auto c = MakeCanvas();
  c->BeginPath();
  c->MoveTo(50, 50);  // nothing follows it
  c->MoveTo(1, 1);
  c->LineTo(5, 1);
  c->LineTo(5, 5);
  c->ClosePath();
  c->LineTo(9, 9);  // starts again at the closed figure's start
  c->MoveTo(70, 70);
  c->FillPath();
  const auto path = ReadPath(Objects(Parse(c->Finish()), emfplus::kObjectPath).at(0).Data);
  ASSERT_TRUE(path);
  EXPECT_EQ(path->Types, (std::vector<std::uint8_t>{0, 1, 0x81, 0, 1}));
  EXPECT_EQ(path->Points[3], std::make_pair(1.0f, 1.0f));
  EXPECT_EQ(path->Points[4], std::make_pair(9.0f, 9.0f));
}

TEST(EmfPlusCanvas, PathWithoutSegmentsPaintsNothing) {
  auto c = MakeCanvas();
  c->BeginPath();
  c->MoveTo(3, 3);
  c->FillStrokePath();
  c->FillPath();  // no path begun
  const TEmfFile f = Parse(c->Finish());
  EXPECT_TRUE(OfType(f, emfplus::kFillPath).empty());
  EXPECT_TRUE(OfType(f, emfplus::kDrawPath).empty());
}

struct TPenFields {
  std::uint32_t flags = 0, unit = 0, startCap = 0, endCap = 0, join = 0;
  float width = 0, miter = 0, offset = 0;
  std::uint32_t style = 0, dashCap = 0;
  std::vector<float> dashes;
  std::uint32_t argb = 0;
};

TPenFields ReadPen(const std::string& d) {
  TPenFields p;
  std::size_t at = 8;
  p.flags = Get32(d, at), p.unit = Get32(d, at + 4), p.width = GetF(d, at + 8);
  at += 12;
  p.startCap = Get32(d, at), p.endCap = Get32(d, at + 4), p.join = Get32(d, at + 8);
  p.miter = GetF(d, at + 12);
  at += 16;
  if (p.flags & 0x100) {
    p.style = Get32(d, at), p.dashCap = Get32(d, at + 4), p.offset = GetF(d, at + 8);
    const std::uint32_t n = Get32(d, at + 12);
    at += 16;
    for (std::uint32_t i = 0; i < n; ++i, at += 4) p.dashes.push_back(GetF(d, at));
  }
  EXPECT_EQ(d.size(), at + 12);  // the solid brush closes the pen
  p.argb = Get32(d, at + 8);
  return p;
}

TEST(EmfPlusCanvas, StrokeWritesAPenWithCapsJoinsMiterAndDashes) {
  auto c = MakeCanvas();
  c->SetStrokeColor(PackRGB(0, 0, 255));
  c->SetStrokeAlpha(0.25);
  c->SetLineWidth(4);
  c->SetLineCap(TLineCap::Round);
  c->SetLineJoin(TLineJoin::Bevel);
  c->SetMiterLimit(3);
  c->SetDash({3}, 1.5);  // odd count: on 3, off 3; phase in line widths
  Square(*c, 10, 10, 50, 50);
  c->StrokePath();
  const TEmfFile f = Parse(c->Finish());
  const auto pens = Objects(f, emfplus::kObjectPen);
  ASSERT_EQ(pens.size(), 1u);
  const TPenFields pen = ReadPen(pens[0].Data);
  EXPECT_EQ(pen.width, 4.0f);
  EXPECT_EQ(pen.startCap, 2u);  // round
  EXPECT_EQ(pen.endCap, 2u);
  EXPECT_EQ(pen.join, 1u);  // bevel
  EXPECT_EQ(pen.miter, 3.0f);
  EXPECT_EQ(pen.style, 5u);
  EXPECT_EQ(pen.dashCap, 2u);
  EXPECT_EQ(pen.dashes, (std::vector<float>{3, 3}));
  EXPECT_EQ(pen.offset, 1.5f);
  EXPECT_EQ(pen.argb, 0x400000FFu);  // alpha Round(63.75) = 64
  const auto draws = OfType(f, emfplus::kDrawPath);
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(Get32(draws[0].Data, 0), pens[0].Flags & 0xFFu);
}

TEST(EmfPlusCanvas, CapAndJoinNumbersMapToTheirEmfPlusValues) {
  const std::uint32_t caps[3] = {0, 2, 1};   // butt → flat, round → round, square → square
  const std::uint32_t joins[3] = {0, 2, 1};  // miter, round, bevel
  for (int i = 0; i < 3; ++i) {
    auto c = MakeCanvas();
    c->SetLineCap(LineCapFrom(i));
    c->SetLineJoin(LineJoinFrom(i));
    Square(*c, 1, 1, 9, 9);
    c->StrokePath();
    const TPenFields pen = ReadPen(Objects(Parse(c->Finish()), emfplus::kObjectPen).at(0).Data);
    EXPECT_EQ(pen.startCap, caps[i]);
    EXPECT_EQ(pen.join, joins[i]);
    EXPECT_TRUE(pen.dashes.empty());
  }
}

TEST(EmfPlusCanvas, AnUnchangedPenIsDefinedOnce) {
  auto c = MakeCanvas();
  c->SetLineWidth(2);
  for (int i = 0; i < 3; ++i) {
    Square(*c, i, i, 20 + i, 20 + i);
    c->StrokePath();
  }
  c->SetLineWidth(3);
  Square(*c, 1, 1, 9, 9);
  c->StrokePath();
  const TEmfFile f = Parse(c->Finish());
  EXPECT_EQ(Objects(f, emfplus::kObjectPen).size(), 2u);
  EXPECT_EQ(OfType(f, emfplus::kDrawPath).size(), 4u);
}

TEST(EmfPlusCanvas, ThinLinesAreOnePixelWithDashesInWidthsOfTheLineAskedFor) {
  auto c = MakeCanvas();
  c->SetLineWidth(0.5);
  c->SetDash({4, 2}, 0);  // 2 and 1 pixels
  Square(*c, 1, 1, 50, 50);
  c->StrokePath();
  const TPenFields pen = ReadPen(Objects(Parse(c->Finish()), emfplus::kObjectPen).at(0).Data);
  EXPECT_EQ(pen.width, 1.0f);
  EXPECT_EQ(pen.dashes, (std::vector<float>{2, 1}));
}

TEST(EmfPlusCanvas, UnusableDashPatternsAreDrawnSolid) {
  const TGPDashArray patterns[] = {{0, 0}, {-1, 2}, {std::nanf(""), 1}, {0.01f, 0.01f}};
  for (const TGPDashArray& dashes : patterns) {
    auto c = MakeCanvas();
    c->SetLineWidth(1);
    c->SetDash(dashes, 0);
    Square(*c, 1, 1, 50, 50);
    c->StrokePath();
    const TEmfFile f = Parse(c->Finish());
    EXPECT_TRUE(ReadPen(Objects(f, emfplus::kObjectPen).at(0).Data).dashes.empty());
    EXPECT_EQ(OfType(f, emfplus::kDrawPath).size(), 1u);
  }
}

TEST(EmfPlusCanvas, ZeroLengthDashesBecomeShortPositiveOnes) {
  auto c = MakeCanvas();
  c->SetLineWidth(2);
  c->SetLineCap(TLineCap::Round);
  c->SetDash({0, 3}, -1);  // dots; a negative phase is taken within the period
  Square(*c, 1, 1, 50, 50);
  c->StrokePath();
  const TPenFields pen = ReadPen(Objects(Parse(c->Finish()), emfplus::kObjectPen).at(0).Data);
  ASSERT_EQ(pen.dashes.size(), 2u);
  EXPECT_GT(pen.dashes[0], 0.0f);
  EXPECT_LT(pen.dashes[0], 0.01f);
  EXPECT_EQ(pen.dashes[1], 3.0f);
  EXPECT_FLOAT_EQ(pen.offset, 2.0f);
}

TEST(EmfPlusCanvas, FillAndStrokeShareOnePathObject) {
  auto c = MakeCanvas();
  Square(*c, 1, 1, 20, 20);
  c->FillStrokePath();
  const TEmfFile f = Parse(c->Finish());
  EXPECT_EQ(Objects(f, emfplus::kObjectPath).size(), 1u);
  ASSERT_EQ(OfType(f, emfplus::kFillPath).size(), 1u);
  ASSERT_EQ(OfType(f, emfplus::kDrawPath).size(), 1u);
  // The fill comes before the stroke.
  std::size_t fillAt = 0, drawAt = 0;
  for (std::size_t i = 0; i < f.Plus.size(); ++i) {
    if (f.Plus[i].Type == emfplus::kFillPath) fillAt = i;
    if (f.Plus[i].Type == emfplus::kDrawPath) drawAt = i;
  }
  EXPECT_LT(fillAt, drawAt);
}

TEST(EmfPlusCanvas, SingleSegmentGetsAZeroLengthSegmentAtItsEnd) {
  auto c = MakeCanvas();
  c->SetLineCap(TLineCap::Round);
  c->BeginPath();
  c->MoveTo(5, 5);
  c->LineTo(5, 5);
  c->StrokePath();
  c->BeginPath();
  c->MoveTo(1, 1);
  c->LineTo(2, 2);
  c->LineTo(3, 1);
  c->StrokePath();
  const auto paths = Objects(Parse(c->Finish()), emfplus::kObjectPath);
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(ReadPath(paths[0].Data)->Points.size(), 3u);
  EXPECT_EQ(ReadPath(paths[1].Data)->Points.size(), 3u);  // three points: drawn as built
}

TEST(EmfPlusCanvas, HugeAndNonFiniteCoordinatesNeverReachTheFile) {
  auto c = MakeCanvas(100, 100);
  c->SetLineWidth(3);
  c->SetDash({2, 2}, 0);
  c->BeginPath();
  c->MoveTo(-1e30, 50);
  c->LineTo(1e30, 50);
  c->LineTo(50, std::nan(""));
  c->LineTo(std::numeric_limits<double>::infinity(), 1);
  c->LineTo(50, 1e300);
  c->CurveTo(1e20, -1e20, 3, 3, 4, 4);
  c->FillStrokePath();
  c->BeginPath();
  c->MoveTo(0, 0);
  c->LineTo(1e7, 1e7);
  c->SetClip(1);
  c->EndPath();
  c->DrawBitmap(TCanvasBitmap{1, 1, {0xFF000000u}, {}}, 0, 0, 1e30, 0, 0, 1e30,
                TImageSampling::Default);
  const TEmfFile f = Parse(c->Finish());
  std::size_t paths = 0;
  for (const TPlusRecord& r : Objects(f, emfplus::kObjectPath)) {
    const auto p = ReadPath(r.Data);
    ASSERT_TRUE(p);
    ++paths;
    for (auto [x, y] : p->Points) {
      ASSERT_TRUE(std::isfinite(x) && std::isfinite(y));
      EXPECT_LE(std::fabs(x), emfplus::kMaxCoord);
      EXPECT_LE(std::fabs(y), emfplus::kMaxCoord);
    }
  }
  EXPECT_GE(paths, 3u);  // the fill, the stroke cut to the page, the clip
  for (const TPlusRecord& r : OfType(f, emfplus::kDrawImagePoints)) {
    for (std::size_t at = 28; at < 52; at += 4) {
      EXPECT_TRUE(std::isfinite(GetF(r.Data, at)));
      EXPECT_LE(std::fabs(GetF(r.Data, at)), emfplus::kMaxCoord);
    }
  }
  // The far stroke is dashed before it is cut, so its pen is solid.
  for (const TPlusRecord& r : Objects(f, emfplus::kObjectPen)) {
    EXPECT_TRUE(ReadPen(r.Data).dashes.empty());
  }
}

// ---- clipping ----

std::vector<std::uint16_t> ClipRecords(const TEmfFile& f) {
  std::vector<std::uint16_t> out;
  for (const TPlusRecord& r : f.Plus) {
    if (r.Type == emfplus::kSetClipPath) out.push_back(static_cast<std::uint16_t>(r.Flags >> 8));
    if (r.Type == emfplus::kResetClip) out.push_back(0xFF);
  }
  return out;
}

TEST(EmfPlusCanvas, ClipIntersectsOnEndPathAndAfterPainting) {
  auto c = MakeCanvas();
  Square(*c, 0, 0, 50, 50);
  c->SetClip(1);
  c->EndPath();
  Square(*c, 10, 10, 40, 40);
  c->SetClip(2);
  c->FillPath();  // painted with the old clip, then clips
  const TEmfFile f = Parse(c->Finish());
  EXPECT_EQ(ClipRecords(f), (std::vector<std::uint16_t>{1, 1}));
  // The painted path is itself the second clip path: the clip record follows the fill.
  EXPECT_EQ(f.Plus[f.Plus.size() - 2].Type, emfplus::kSetClipPath);
  EXPECT_EQ(f.Plus[f.Plus.size() - 3].Type, emfplus::kFillPath);
}

TEST(EmfPlusCanvas, RestoringSnapshotsReplaysTheClipChain) {
  auto c = MakeCanvas();
  const TClipHandle none = c->SaveClip();
  Square(*c, 0, 0, 50, 50);
  c->SetClip(1);
  c->EndPath();
  const TClipHandle outer = c->SaveClip();
  Square(*c, 10, 10, 40, 40);
  c->SetClip(1);
  c->EndPath();
  const TClipHandle inner = c->SaveClip();
  EXPECT_NE(outer, inner);
  EXPECT_EQ(c->SaveClip(), inner);  // unchanged clip: the same snapshot
  c->RestoreClip(outer);            // Q: start again from the outer path
  c->RestoreClip(outer);            // already there: nothing
  c->RestoreClip(inner);            // deeper again: only the inner path
  c->RestoreClip(none);             // no clip at all
  c->RestoreClip(12345);            // not a snapshot: ignored
  const TEmfFile f = Parse(c->Finish());
  EXPECT_EQ(ClipRecords(f), (std::vector<std::uint16_t>{1, 1, 0, 1, 0xFF}));
}

TEST(EmfPlusCanvas, SaveAndRestoreWithoutClippingWriteNothing) {
  auto c = MakeCanvas();
  const TClipHandle a = c->SaveClip();
  EXPECT_EQ(c->SaveClip(), a);
  c->RestoreClip(a);
  const TEmfFile f = Parse(c->Finish());
  EXPECT_TRUE(ClipRecords(f).empty());
}

TEST(EmfPlusCanvas, ClipByAnEmptyPathLeavesNothingVisible) {
  auto c = MakeCanvas();
  c->BeginPath();
  c->MoveTo(5, 5);
  c->SetClip(1);
  c->EndPath();
  const TEmfFile f = Parse(c->Finish());
  ASSERT_EQ(ClipRecords(f), (std::vector<std::uint16_t>{1}));
  const auto path = ReadPath(Objects(f, emfplus::kObjectPath).back().Data);
  ASSERT_TRUE(path);
  EXPECT_EQ(path->Points.size(), 2u);
  EXPECT_EQ(path->Points[0], path->Points[1]);
}

// ---- pictures ----

TEST(EmfPlusCanvas, BitmapsAreWrittenAsImagesDrawnIntoTheParallelogram) {
  auto c = MakeCanvas();
  TCanvasBitmap bmp{3, 2, {0xFFFF0000u, 0x8000FF00u, 0xFF0000FFu, 0xFF102030u, 0xFFFFFFFFu,
                           0x00000000u}, {}};
  c->DrawBitmap(bmp, 10, 20, 40, 25, 12, 50, TImageSampling::Default);
  const TEmfFile f = Parse(c->Finish());
  const auto images = Objects(f, emfplus::kObjectImage);
  ASSERT_EQ(images.size(), 1u);
  const std::string& d = images[0].Data;
  EXPECT_EQ(Get32(d, 4), 1u);  // bitmap
  EXPECT_EQ(Get32(d, 8), 3u);
  EXPECT_EQ(Get32(d, 12), 2u);
  EXPECT_EQ(Get32(d, 20), 0x0026200Au);
  EXPECT_EQ(Get32(d, 24), 1u);  // an image file follows
  const TDecodedImage png = DecodePNG(TByteView(d).substr(28));
  ASSERT_FALSE(png.Empty()) << png.Error;
  ASSERT_EQ(png.Width, 3);
  ASSERT_EQ(png.Height, 2);
  ASSERT_EQ(png.Components, 4);
  const auto px = [&](int i, int k) { return static_cast<unsigned char>(png.Pixels[i * 4 + k]); };
  EXPECT_EQ(px(0, 0), 255);
  EXPECT_EQ(px(0, 3), 255);
  EXPECT_EQ(px(1, 1), 255);
  EXPECT_EQ(px(1, 3), 0x80);
  EXPECT_EQ(px(3, 0), 0x10);
  EXPECT_EQ(px(3, 2), 0x30);
  EXPECT_EQ(px(5, 3), 0);

  const auto draws = OfType(f, emfplus::kDrawImagePoints);
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].Flags & 0xFF, images[0].Flags & 0xFF);
  const std::string& r = draws[0].Data;
  EXPECT_EQ(Get32(r, 4), 2u);  // source unit pixel
  EXPECT_EQ(GetF(r, 16), 3.0f);
  EXPECT_EQ(GetF(r, 20), 2.0f);
  EXPECT_EQ(Get32(r, 24), 3u);
  const float expected[6] = {10, 20, 40, 25, 12, 50};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(GetF(r, 28 + 4 * i), expected[i]);
  // The attributes it names were defined as image attributes.
  const auto attrs = Objects(f, emfplus::kObjectImageAttributes);
  ASSERT_EQ(attrs.size(), 1u);
  EXPECT_EQ(Get32(r, 0), attrs[0].Flags & 0xFFu);
}

TEST(EmfPlusCanvas, OpaqueBitmapsNeedNoAlphaAndColourKeysMakePixelsTransparent) {
  auto c = MakeCanvas();
  TCanvasBitmap opaque{2, 1, {0xFF112233u, 0xFF445566u}, {}};
  c->DrawBitmap(opaque, 0, 0, 2, 0, 0, 1, TImageSampling::Default);
  TCanvasBitmap keyed{2, 1, {0xFF112233u, 0xFF445566u},
                      TCanvasColorKey{{0x40, 0x50, 0x60}, {0x48, 0x58, 0x68}}};
  c->DrawBitmap(keyed, 0, 0, 2, 0, 0, 1, TImageSampling::Default);
  const auto images = Objects(Parse(c->Finish()), emfplus::kObjectImage);
  ASSERT_EQ(images.size(), 2u);
  const TDecodedImage a = DecodePNG(TByteView(images[0].Data).substr(28));
  const TDecodedImage b = DecodePNG(TByteView(images[1].Data).substr(28));
  EXPECT_EQ(a.Components, 3);
  ASSERT_EQ(b.Components, 4);
  EXPECT_EQ(static_cast<unsigned char>(b.Pixels[3]), 255);
  EXPECT_EQ(static_cast<unsigned char>(b.Pixels[7]), 0);
}

TEST(EmfPlusCanvas, ImagesSwitchToNearestSamplingAndBack) {
  auto c = MakeCanvas(100, 80, 96, true);
  TCanvasBitmap bmp{1, 1, {0xFF000000u}, {}};
  c->DrawBitmap(bmp, 0, 0, 5, 0, 0, 5, TImageSampling::Default);
  const TEmfFile f = Parse(c->Finish());
  std::vector<std::pair<std::uint16_t, std::uint16_t>> modes;
  for (const TPlusRecord& r : f.Plus) {
    if (r.Type == emfplus::kSetAntiAliasMode || r.Type == emfplus::kSetInterpolationMode ||
        r.Type == emfplus::kDrawImagePoints) {
      modes.emplace_back(r.Type, r.Type == emfplus::kDrawImagePoints ? 0 : r.Flags);
    }
  }
  const std::vector<std::pair<std::uint16_t, std::uint16_t>> expected = {
      {emfplus::kSetAntiAliasMode, 0x09}, {emfplus::kSetInterpolationMode, 4},
      {emfplus::kSetAntiAliasMode, 0x06}, {emfplus::kSetInterpolationMode, 5},
      {emfplus::kDrawImagePoints, 0},     {emfplus::kSetAntiAliasMode, 0x09},
      {emfplus::kSetInterpolationMode, 4}};
  EXPECT_EQ(modes, expected);
}

TEST(EmfPlusCanvas, UnusableBitmapsDrawNothing) {
  auto c = MakeCanvas();
  c->DrawBitmap(TCanvasBitmap{2, 2, {1, 2, 3}, {}}, 0, 0, 5, 0, 0, 5, TImageSampling::Default);
  c->DrawBitmap(TCanvasBitmap{0, 2, {}, {}}, 0, 0, 5, 0, 0, 5, TImageSampling::Default);
  c->DrawBitmap(TCanvasBitmap{1, 1, {0}, {}}, 0, 0, 5, 0, 10, 0, TImageSampling::Default);
  c->DrawBitmap(TCanvasBitmap{1, 1, {0}, {}}, 0, 0, std::nan(""), 0, 0, 5,
                TImageSampling::Default);
  const TEmfFile f = Parse(c->Finish());
  EXPECT_TRUE(OfType(f, emfplus::kDrawImagePoints).empty());
  EXPECT_TRUE(Objects(f, emfplus::kObjectImage).empty());
}

// ---- the record layer ----

TEST(EmfPlusWriter, LongObjectsAreSplitIntoContinuedRecords) {
  emfplus::TEmfPlusWriter w(10, 10, 96);
  TBytes data;
  for (std::size_t i = 0; i < 100'000; ++i) data.push_back(static_cast<char>(i * 7 % 251));
  ASSERT_TRUE(w.Object(emfplus::kObjectImage, 2, data));
  const TBytes bytes = w.Finish();
  // Every part has the continuation bit and the total size.
  std::size_t parts = 0;
  for (const TPlusRecord& r : emfplustest::RawRecords(bytes)) {
    if (r.Type != emfplus::kObject) continue;
    EXPECT_EQ(r.Flags, 0x8502);
    EXPECT_EQ(Get32(r.Data, 0), 100'000u);
    EXPECT_LE(r.Data.size(), emfplus::kMaxObjectChunk + 4);
    ++parts;
  }
  EXPECT_EQ(parts, 4u);
  const TEmfFile f = Parse(bytes);
  const auto objects = Objects(f, emfplus::kObjectImage);
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_EQ(objects[0].Data, data);
}

TEST(EmfPlusWriter, CommentsStayWithinTheirBoundAndRecordsPastTheFileBoundAreRefused) {
  emfplus::TEmfPlusWriter w(10, 10, 96);
  const TBytes block(1000, 'x');
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(w.Record(emfplus::kFillPath, 0, block));
  EXPECT_FALSE(w.HasRoom(emfplus::kMaxFileBytes));
  EXPECT_FALSE(w.Record(emfplus::kFillPath, 0, TBytes(emfplus::kMaxFileBytes, 'y')));
  EXPECT_EQ(w.Dropped(), 1u);
  const TBytes bytes = w.Finish();
  const TEmfFile f = Parse(bytes);
  EXPECT_EQ(OfType(f, emfplus::kFillPath).size(), 200u);
  EXPECT_GE(f.CommentCount, 4u);
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::uint32_t size = Get32(bytes, at + 4);
    if (Get32(bytes, at) == 70) {
      EXPECT_LE(size - 16, emfplus::kMaxCommentData);
    }
    at += size;
  }
}

TEST(EmfPlusWriter, RecordDataIsPaddedToFourBytes) {
  emfplus::TEmfPlusWriter w(10, 10, 96);
  ASSERT_TRUE(w.Record(emfplus::kFillPath, 0, "abcde"));
  const TEmfFile f = Parse(w.Finish());
  const auto fills = OfType(f, emfplus::kFillPath);
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0].Data, std::string("abcde\0\0\0", 8));
}

TEST(EmfPlusReader, RejectsBrokenStructure) {
  // The checker the other tests rely on must notice broken sizes and totals.
  auto c = MakeCanvas();
  Square(*c, 1, 1, 5, 5);
  c->FillPath();
  const TBytes good = c->Finish();
  ASSERT_TRUE(ReadEmfPlus(good));
  TBytes badTotal = good;
  badTotal[48] ^= 4;
  EXPECT_FALSE(ReadEmfPlus(badTotal));
  TBytes badCount = good;
  badCount[52] ^= 1;
  EXPECT_FALSE(ReadEmfPlus(badCount));
  TBytes badPlusSize = good;
  badPlusSize[108 + 16 + 4] ^= 4;  // the EMF+ header record's Size
  EXPECT_FALSE(ReadEmfPlus(badPlusSize));
  EXPECT_FALSE(ReadEmfPlus(good.substr(0, good.size() - 20)));
}

}  // namespace
}  // namespace kestrel
