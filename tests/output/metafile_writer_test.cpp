// The Windows-metafile and enhanced-metafile writers: headers, record structure, object
// table, clamping of coordinates that the formats' fields cannot hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/output/metafile/metafile.h"
#include "engine/output/page_output.h"
#include "engine/access/document.h"
#include "engine/kestrel.h"
#include "fuzz/harness/metafile.h"
#include "support/pdf_builder.h"

namespace kestrel {
namespace {

using fuzzharness::TLittleEndian;
using fuzzharness::WalkEnhancedMetafile;
using fuzzharness::WalkWindowsMetafile;

std::vector<std::vector<TMetafilePoint>> Square(float x, float y, float s) {
  return {{{x, y}, {x + s, y}, {x + s, y + s}, {x, y + s}}};
}

std::int16_t I16(const TBytes& b, std::size_t at) {
  return static_cast<std::int16_t>(TLittleEndian(b).U16(at));
}
std::int32_t I32(const TBytes& b, std::size_t at) {
  return static_cast<std::int32_t>(TLittleEndian(b).U32(at));
}

// Offsets of every record with the given WMF function, in order.
std::vector<std::size_t> WmfRecords(const TBytes& b, std::uint16_t function) {
  std::vector<std::size_t> out;
  TLittleEndian in(b);
  for (std::size_t at = 40; at + 6 <= b.size(); at += 2 * std::size_t{in.U32(at)}) {
    if (in.U16(at + 4) == function) out.push_back(at);
    if (in.U32(at) == 0) break;
  }
  return out;
}

std::vector<std::size_t> EmfRecords(const TBytes& b, std::uint32_t type) {
  std::vector<std::size_t> out;
  TLittleEndian in(b);
  for (std::size_t at = 0; at + 8 <= b.size(); at += in.U32(at + 4)) {
    if (in.U32(at) == type) out.push_back(at);
    if (in.U32(at + 4) == 0) break;
  }
  return out;
}

TEST(MetafileWriter, PlaceableHeaderOfAn816By1056Metafile) {
  TKestrelMetafile m;
  m.Reset(false, 816, 1056);
  m.AddFill(Square(0, 0, 10), 0x0000FF, false);
  const TBytes b = m.Write();
  const std::string expected("\xD7\xCD\xC6\x9A\x00\x00\x00\x00\x00\x00\x30\x03\x20\x04\x60\x00"
                             "\x00\x00\x00\x00", 20);
  ASSERT_GE(b.size(), 22u);
  EXPECT_EQ(b.substr(0, 20), expected);
  // XOR of the ten words: 0xCDD7 ^ 0x9AC6 ^ 0x0330 ^ 0x0420 ^ 0x0060.
  EXPECT_EQ(TLittleEndian(b).U16(20), 0xCDD7u ^ 0x9AC6u ^ 0x0330u ^ 0x0420u ^ 0x0060u);
  const auto walk = WalkWindowsMetafile(b);
  EXPECT_TRUE(walk.ok) << walk.error;
  // The window is the page: origin 0, 0 and extent 816 x 1056 (y first in the record).
  const auto ext = WmfRecords(b, 0x020C);
  ASSERT_EQ(ext.size(), 1u);
  EXPECT_EQ(I16(b, ext[0] + 6), 1056);
  EXPECT_EQ(I16(b, ext[0] + 8), 816);
}

TEST(MetafileWriter, WindowsMetafileRecordsAddUpAndObjectsAreFreed) {
  TKestrelMetafile m;
  m.Reset(false, 100, 80);
  m.AddFill(Square(10, 10, 20), 0x0000FF, true);
  m.AddFill({Square(40, 10, 20)[0], Square(45, 15, 5)[0]}, 0x00FF00, false);
  TMetafilePen pen;
  pen.Width = 3;
  pen.Cap = 1;
  pen.Join = 2;
  m.AddStroke({{{1, 1}, {50, 50}}}, {false}, pen);
  m.AddPushClip(Square(0, 0, 50), false);
  pen.Color = 0xFF0000;
  m.AddStroke(Square(5, 5, 30), {true}, pen);
  m.AddPopClip();
  const TBytes b = m.Write();
  const auto walk = WalkWindowsMetafile(b);
  ASSERT_TRUE(walk.ok) << walk.error;
  EXPECT_EQ(walk.maxDepth, 1);
  EXPECT_GE(walk.maxObjects, 2);
  EXPECT_LE(walk.maxObjects, 4);
  // Fill modes: alternate for the first fill, winding for the second.
  const auto modes = WmfRecords(b, 0x0106);
  ASSERT_EQ(modes.size(), 2u);
  EXPECT_EQ(TLittleEndian(b).U16(modes[0] + 6), 1u);
  EXPECT_EQ(TLittleEndian(b).U16(modes[1] + 6), 2u);
  // Two squares as one poly-polygon, so the rule applies across them.
  const auto polypoly = WmfRecords(b, 0x0538);
  ASSERT_EQ(polypoly.size(), 1u);
  EXPECT_EQ(TLittleEndian(b).U16(polypoly[0] + 6), 2u);
  // The pen: round cap (0), bevel join (0x1000), 3 units wide.
  const auto pens = WmfRecords(b, 0x02FA);
  bool found = false;
  for (std::size_t at : pens) {
    if (TLittleEndian(b).U16(at + 6) == 0x1000 && I16(b, at + 8) == 3) found = true;
  }
  EXPECT_TRUE(found);
  // The clip is the square, exactly (bottom, right, top, left).
  const auto clip = WmfRecords(b, 0x0416);
  ASSERT_EQ(clip.size(), 1u);
  EXPECT_EQ(I16(b, clip[0] + 6), 50);
  EXPECT_EQ(I16(b, clip[0] + 8), 50);
  EXPECT_EQ(I16(b, clip[0] + 10), 0);
  EXPECT_EQ(I16(b, clip[0] + 12), 0);
}

TEST(MetafileWriter, EnhancedHeaderCountsBytesRecordsAndHandles) {
  TKestrelMetafile m;
  m.Reset(true, 816, 1056);
  m.AddFill(Square(0, 0, 816), 0xFFFFFF, false);
  TMetafilePen pen;
  pen.Width = 2.5;
  pen.Join = 0;
  pen.MiterLimit = 4;
  m.AddStroke({{{1, 1}, {50, 50}, {90, 10}}}, {false}, pen);
  m.AddPushClip({{{10, 10}, {60, 12}, {30, 70}}}, true);
  m.AddFill(Square(0, 0, 100), 0x123456, false);
  m.AddPopClip();
  const TBytes b = m.Write();
  const auto walk = WalkEnhancedMetafile(b);
  ASSERT_TRUE(walk.ok) << walk.error;
  EXPECT_EQ(I32(b, 48), static_cast<std::int32_t>(b.size()));
  EXPECT_EQ(static_cast<std::size_t>(I32(b, 52)), walk.records);
  EXPECT_EQ(walk.declaredObjects, walk.maxObjects + 1);
  // Bounds in pixels and frame in hundredths of a millimetre at 96 pixels an inch.
  EXPECT_EQ(I32(b, 16), 815);
  EXPECT_EQ(I32(b, 20), 1055);
  EXPECT_EQ(I32(b, 32), 21590 - 1);
  EXPECT_EQ(I32(b, 36), 27940 - 1);
  EXPECT_EQ(I32(b, 72), 816);
  EXPECT_EQ(I32(b, 80), 216);
  // A sixteenth of a pixel a unit: window 16 times the viewport.
  const auto window = EmfRecords(b, 9);
  ASSERT_EQ(window.size(), 1u);
  EXPECT_EQ(I32(b, window[0] + 8), 816 * 16);
  // The geometric pen: flat cap, miter join, 2.5 px = 40 units; the miter limit is set.
  const auto pens = EmfRecords(b, 95);
  ASSERT_EQ(pens.size(), 1u);
  EXPECT_EQ(TLittleEndian(b).U32(pens[0] + 28), 0x00010000u | 0x0200u | 0x2000u);
  EXPECT_EQ(I32(b, pens[0] + 32), 40);
  const auto miter = EmfRecords(b, 58);
  ASSERT_EQ(miter.size(), 1u);
  EXPECT_EQ(I32(b, miter[0] + 8), 4);
  // The triangle clip is a path clip taking the place of no clip (RGN_COPY).
  const auto clip = EmfRecords(b, 67);
  ASSERT_EQ(clip.size(), 1u);
  EXPECT_EQ(I32(b, clip[0] + 8), 5);
  EXPECT_EQ(EmfRecords(b, 59).size(), 1u);
  EXPECT_EQ(EmfRecords(b, 33).size(), 1u);
  EXPECT_EQ(EmfRecords(b, 34).size(), 1u);
}

TEST(MetafileWriter, NestedClipsIntersectAndObjectsSurviveSavedStates) {
  TKestrelMetafile m;
  m.Reset(true, 200, 200);
  m.AddFill(Square(0, 0, 10), 0x0000FF, false);  // brush A selected when the state is saved
  m.AddPushClip({{{0, 0}, {100, 0}, {50, 90}}}, false);
  m.AddFill(Square(0, 0, 10), 0x00FF00, false);  // brush B replaces A inside the state
  m.AddPushClip({{{0, 0}, {90, 10}, {10, 90}}}, false);
  m.AddFill(Square(0, 0, 10), 0xFF0000, false);
  m.AddPopClip();
  m.AddPopClip();
  m.AddFill(Square(0, 0, 10), 0x0000FF, false);  // A again: must still be alive
  const TBytes b = m.Write();
  const auto walk = WalkEnhancedMetafile(b);
  ASSERT_TRUE(walk.ok) << walk.error;
  EXPECT_EQ(walk.maxDepth, 2);
  const auto clips = EmfRecords(b, 67);
  ASSERT_EQ(clips.size(), 2u);
  EXPECT_EQ(I32(b, clips[0] + 8), 5);  // RGN_COPY
  EXPECT_EQ(I32(b, clips[1] + 8), 1);  // RGN_AND
  // The same for the Windows form.
  const auto wmf = WalkWindowsMetafile(WriteWindowsMetafile(m));
  EXPECT_TRUE(wmf.ok) << wmf.error;

  // An inner clip that already holds the outer one is set in its place.
  TKestrelMetafile whole;
  whole.Reset(true, 200, 200);
  whole.AddPushClip({{{0, 0}, {100, 0}, {50, 90}}}, false);
  whole.AddPushClip({{{10, 5}, {90, 5}, {50, 80}}}, false, true);
  whole.AddFill(Square(0, 0, 10), 0xFF0000, false);
  whole.AddPopClip();
  const TBytes wb = whole.Write();
  ASSERT_TRUE(WalkEnhancedMetafile(wb).ok);
  const auto set = EmfRecords(wb, 67);
  ASSERT_EQ(set.size(), 2u);
  EXPECT_EQ(I32(wb, set[0] + 8), 5);
  EXPECT_EQ(I32(wb, set[1] + 8), 5);
  EXPECT_EQ(EmfRecords(wb, 33).size(), EmfRecords(wb, 34).size());
  // The Windows form clips to the figures' box either way.
  TKestrelMetafile narrowed;
  narrowed.Reset(true, 200, 200);
  narrowed.AddPushClip({{{0, 0}, {100, 0}, {50, 90}}}, false);
  narrowed.AddPushClip({{{10, 5}, {90, 5}, {50, 80}}}, false);
  narrowed.AddFill(Square(0, 0, 10), 0xFF0000, false);
  narrowed.AddPopClip();
  EXPECT_EQ(WriteWindowsMetafile(whole), WriteWindowsMetafile(narrowed));
}

TEST(MetafileWriter, HugeCoordinatesAreClampedIntoTheFields) {
  // A page far larger than 16 bits: the Windows form scales it to 30000 units a side.
  TKestrelMetafile m;
  m.Reset(false, 100000, 50000);
  m.AddFill({{{-1e9f, -1e9f}, {1e9f, -1e9f}, {1e9f, 1e9f}}}, 0, false);
  TMetafileImage image;
  image.Width = 1;
  image.Height = 1;
  image.Bgr = {1, 2, 3};
  image.X = 50000;
  image.Y = 25000;
  image.W = 10000;
  image.H = 10000;
  m.AddImage(image);
  TBytes b = m.Write();
  auto walk = WalkWindowsMetafile(b);
  ASSERT_TRUE(walk.ok) << walk.error;
  EXPECT_EQ(I16(b, 10), 30000);
  EXPECT_EQ(I16(b, 12), 15000);
  const auto polygon = WmfRecords(b, 0x0324);
  ASSERT_EQ(polygon.size(), 1u);
  EXPECT_EQ(I16(b, polygon[0] + 8), -32767);
  EXPECT_EQ(I16(b, polygon[0] + 12), 32767);
  const auto dib = WmfRecords(b, 0x0F43);
  ASSERT_EQ(dib.size(), 1u);
  EXPECT_EQ(I16(b, dib[0] + 26), 15000);  // x at half the page
  EXPECT_EQ(I16(b, dib[0] + 22), 3000);   // width 10000 px at 0.3 units a pixel
  // The enhanced form keeps sixteenths until 16 × side passes 1e9 units.
  m.Reset(true, metafile_limits::kMaxSide * 10, 5);
  EXPECT_EQ(m.Width(), metafile_limits::kMaxSide);
  m.AddFill({{{-3e38f, 0}, {3e38f, 0}, {0, 3e38f}}}, 0, false);
  b = m.Write();
  walk = WalkEnhancedMetafile(b);
  ASSERT_TRUE(walk.ok) << walk.error;
  const auto poly = EmfRecords(b, 3);
  ASSERT_EQ(poly.size(), 1u);
  EXPECT_EQ(I32(b, poly[0] + 28), -2000000000);
  EXPECT_EQ(I32(b, poly[0] + 36), 2000000000);
  EXPECT_EQ(I32(b, EmfRecords(b, 9)[0] + 8), 1000000000);
}

TEST(MetafileWriter, LongFiguresAreThinnedToTheWindowsCountField) {
  TKestrelMetafile m;
  m.Reset(false, 1000, 1000);
  std::vector<TMetafilePoint> ring;
  for (int i = 0; i < 100000; ++i) {
    const double t = i * 2 * 3.14159265358979 / 100000;
    ring.push_back({static_cast<float>(500 + 400 * std::cos(t) + (i % 2) * 0.0f),
                    static_cast<float>(500 + 400 * std::sin(t))});
  }
  // Distinct integer points along a circle of radius 400 are fewer than 32767 anyway; make
  // them distinct by a zigzag.
  for (std::size_t i = 0; i < ring.size(); ++i) ring[i].x += (i % 2) ? 0.0f : 3.0f;
  m.AddFill({ring}, 0, false);
  const TBytes b = m.Write();
  const auto walk = WalkWindowsMetafile(b);
  ASSERT_TRUE(walk.ok) << walk.error;
  const auto polygon = WmfRecords(b, 0x0324);
  ASSERT_EQ(polygon.size(), 1u);
  EXPECT_EQ(TLittleEndian(b).U16(polygon[0] + 6), 32767u);
  // The enhanced form keeps every point.
  m.Reset(true, 1000, 1000);
  m.AddFill({ring}, 0, false);
  const TBytes e = m.Write();
  ASSERT_TRUE(WalkEnhancedMetafile(e).ok);
  EXPECT_EQ(TLittleEndian(e).U32(EmfRecords(e, 3)[0] + 24), ring.size());
}

TEST(MetafileWriter, DrawingPastTheBoundsIsDroppedNotWritten) {
  TKestrelMetafile m;
  m.Reset(true, 100, 100);
  std::vector<TMetafilePoint> big(metafile_limits::kMaxPoints / 2 + 1, {1, 1});
  EXPECT_TRUE(m.AddFill({big}, 0, false));
  EXPECT_FALSE(m.AddFill({big}, 0, false));
  EXPECT_EQ(m.Dropped(), 1u);
  EXPECT_LE(m.Points().size(), metafile_limits::kMaxPoints);
  // A clip that no longer fits narrows to its bounding box instead, keeping pushes balanced.
  // Its box may reach outside the clip in force, so it narrows that clip instead of
  // replacing it even when the figures were to replace it.
  EXPECT_TRUE(m.AddPushClip({big, {{5, 5}, {60, 70}, {5, 70}}}, false, true));
  EXPECT_EQ(m.Figures().back().Count, 4u);
  EXPECT_FALSE(m.Records().back().Replace);
  EXPECT_EQ(m.Dropped(), 2u);
  EXPECT_TRUE(m.AddPopClip());
  EXPECT_FALSE(m.AddPopClip());
  TMetafileImage image;
  image.Width = 1;
  image.Height = 1;
  image.Bgr.resize(metafile_limits::kMaxImageBytes + 1);
  EXPECT_FALSE(m.AddImage(image));
  EXPECT_TRUE(WalkEnhancedMetafile(m.Write()).ok);
}

TEST(MetafileWriter, PicturesWithTransparencyAreMaskedThenPainted) {
  TKestrelMetafile m;
  m.Reset(false, 50, 50);
  TMetafileImage image;
  image.Width = 3;
  image.Height = 2;
  image.Bgr = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  image.Mask = {1, 0, 1, 1, 1, 0};
  image.X = 5;
  image.Y = 6;
  image.W = 30;
  image.H = 20;
  m.AddImage(image);
  const TBytes b = m.Write();
  ASSERT_TRUE(WalkWindowsMetafile(b).ok);
  const auto dibs = WmfRecords(b, 0x0F43);
  ASSERT_EQ(dibs.size(), 2u);
  TLittleEndian in(b);
  EXPECT_EQ(in.U32(dibs[0] + 6), 0x008800C6u);  // AND with the mask
  EXPECT_EQ(in.U32(dibs[1] + 6), 0x00EE0086u);  // OR the picture
  // The mask: 1 bit a pixel, bottom row first; white (1) where transparent.
  const std::size_t mask = dibs[0] + 6 + 22;
  EXPECT_EQ(in.U16(mask + 14), 1u);
  EXPECT_EQ(static_cast<unsigned char>(b[mask + 48]), 0x20);  // bottom row: third pixel
  EXPECT_EQ(static_cast<unsigned char>(b[mask + 52]), 0x40);  // top row: second pixel
  // The picture: transparent pixels black, rows of 9 bytes padded to 12.
  const std::size_t pic = dibs[1] + 6 + 22 + 40;
  EXPECT_EQ(b.substr(pic, 12), std::string("\x0A\x0B\x0C\x0D\x0E\x0F\x00\x00\x00\x00\x00\x00", 12));
  EXPECT_EQ(b.substr(pic + 12, 9), std::string("\x01\x02\x03\x00\x00\x00\x07\x08\x09", 9));
  // Destination: x, y, width, height in the record's reversed order.
  EXPECT_EQ(I16(b, dibs[1] + 6 + 20), 5);
  EXPECT_EQ(I16(b, dibs[1] + 6 + 18), 6);
  EXPECT_EQ(I16(b, dibs[1] + 6 + 16), 30);
  EXPECT_EQ(I16(b, dibs[1] + 6 + 14), 20);
}

// ---- through the page output ----

std::string OnePage(const std::string& box, const std::string& content) {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox " + box + " /Contents 4 0 R >>");
  b.Stream(4, "", content);
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

TBytes Convert(const std::string& pdf, int format, double dpi, std::string* problem = nullptr) {
  TSmartPDFLink link(TByteView(pdf), "");
  EXPECT_TRUE(link.Okay());
  if (!link.Okay()) return {};
  TPDFIndRef* page = link.Document()->FindPage(1);
  std::string text;
  TBytes out;
  RenderPageToStream(*link.Document(), *page, TOutputFormat(format), text, out, TGDIPlusSettings{}, 75, dpi);
  if (problem) *problem = text;
  return out;
}

TEST(MetafilePageOutput, Format2At96DpiOnALetterPageRecords816By1056) {
  const TBytes b = Convert(OnePage("[0 0 612 792]", "1 0 0 rg 10 10 100 100 re f"), kFormatWMF, 96);
  ASSERT_TRUE(WalkWindowsMetafile(b).ok);
  EXPECT_EQ(I16(b, 10), 816);
  EXPECT_EQ(I16(b, 12), 1056);
  // White over the whole page first, then the red square (PDF y up: 10..110 pt from the
  // bottom is 1056 - 146.7 .. 1056 - 13.3 px).
  const auto fills = WmfRecords(b, 0x0324);
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(I16(b, fills[0] + 12), 816);
  EXPECT_EQ(I16(b, fills[0] + 18), 1056);
  const auto brushes = WmfRecords(b, 0x02FC);
  ASSERT_EQ(brushes.size(), 2u);
  EXPECT_EQ(TLittleEndian(b).U32(brushes[0] + 8), 0xFFFFFFu);
  EXPECT_EQ(TLittleEndian(b).U32(brushes[1] + 8), 0x0000FFu);
  std::int16_t minY = 32767, maxY = -32768;
  for (int i = 0; i < 4; ++i) {
    minY = std::min(minY, I16(b, fills[1] + 10 + 4 * i));
    maxY = std::max(maxY, I16(b, fills[1] + 10 + 4 * i));
  }
  EXPECT_EQ(minY, 909);
  EXPECT_EQ(maxY, 1043);
}

TEST(MetafilePageOutput, SizesRoundHalfToEvenWithoutRoundingUp) {
  // 54 pt at 100 dpi is 75 px exactly; 45.36 pt is 63.0 px; 1.08 pt at 100 dpi is 1.5 -> 2,
  // and 0.36 pt is 0.5 -> 0, made 1.
  TBytes b = Convert(OnePage("[0 0 54 45.36]", ""), kFormatEMF, 100);
  ASSERT_TRUE(WalkEnhancedMetafile(b).ok);
  EXPECT_EQ(I32(b, 72), 75);
  EXPECT_EQ(I32(b, 76), 63);
  b = Convert(OnePage("[0 0 1.08 0.36]", ""), kFormatWMF, 100);
  ASSERT_TRUE(WalkWindowsMetafile(b).ok);
  EXPECT_EQ(I16(b, 10), 2);
  EXPECT_EQ(I16(b, 12), 1);
  // A rotated page swaps the sides.
  testpdf::PdfBuilder p;
  p.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  p.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  p.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Rotate 90 /Contents 4 0 R >>");
  p.Stream(4, "", "");
  p.TrailerEntries("/Root 1 0 R");
  b = Convert(p.Build(), kFormatWMF, 96);
  EXPECT_EQ(I16(b, 10), 1056);
  EXPECT_EQ(I16(b, 12), 816);
}

TEST(MetafilePageOutput, DrawingBeforeABrokenInlineImageIsKept) {
  std::string problem;
  const TBytes b = Convert(
      OnePage("[0 0 100 100]", "0 0 1 rg 0 0 50 50 re f BI /W 99999999 /H 99999999 ID x EI"),
      kFormatEMF, 72, &problem);
  const auto walk = WalkEnhancedMetafile(b);
  ASSERT_TRUE(walk.ok) << walk.error;
  bool blue = false;
  for (std::size_t at : EmfRecords(b, 39)) blue |= TLittleEndian(b).U32(at + 16) == 0xFF0000u;
  EXPECT_TRUE(blue);
}

TEST(MetafilePageOutput, AHugePageWritesBoundedFiles) {
  // 14400 pt at 500 dpi is 100000 px a side: beyond 16 bits.
  const std::string pdf = OnePage("[0 0 14400 14400]", "0 0 1 rg 0 0 7200 7200 re f");
  const TBytes w = Convert(pdf, kFormatWMF, 500);
  const auto walk = WalkWindowsMetafile(w);
  ASSERT_TRUE(walk.ok) << walk.error;
  EXPECT_EQ(I16(w, 10), 30000);
  const TBytes e = Convert(pdf, kFormatEMF, 500);
  ASSERT_TRUE(WalkEnhancedMetafile(e).ok);
  EXPECT_EQ(I32(e, 72), 100000);
  EXPECT_LT(e.size(), 4096u);
}

}  // namespace
}  // namespace kestrel
