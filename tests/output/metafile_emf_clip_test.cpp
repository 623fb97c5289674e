// Clip paths inside clip paths on an enhanced metafile: recorded as one path holding the whole
// clip, set in place of the outer one, so that readers which lose a path clip narrowed by
// another (LibreOffice) draw them right. A small player below follows the clip records of the
// written file (saved states, path clips by mode, clip rectangles) and answers which points
// each fill is clipped to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "canvas_shapes.h"
#include "engine/output/metafile/metafile.h"
#include "engine/output/metafile/metafile_canvas.h"
#include "engine/output/metafile/metafile_nonzero.h"
#include "fuzz/harness/metafile.h"

namespace kestrel {
namespace {

using fuzzharness::TLittleEndian;

struct TPoint {
  double x, y;
};
using TRing = std::vector<TPoint>;

int Winding(const std::vector<TRing>& rings, double x, double y) {
  int w = 0;
  for (const TRing& r : rings) {
    for (std::size_t i = 0; i < r.size(); ++i) {
      const TPoint a = r[i], b = r[(i + 1) % r.size()];
      if ((a.y <= y) != (b.y <= y)) {
        const double cx = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
        if (cx > x) w += b.y > a.y ? 1 : -1;
      }
    }
  }
  return w;
}

// One step that made the clip: a path selected with a mode, or a clip rectangle.
struct TClipStep {
  bool rect = false;
  int mode = 0;  // path: 1 RGN_AND, 5 RGN_COPY
  bool evenOdd = true;
  std::vector<TRing> rings;
  double left = 0, top = 0, right = 0, bottom = 0;
};

struct TPlayed {
  bool ok = true;
  int saves = 0, restores = 0;
  // The clip in force at every fill, in order.
  std::vector<std::vector<TClipStep>> fillClips;
};

// Whether the page pixel point (x, y) lies inside the clip (16 logical units a pixel).
bool Inside(const std::vector<TClipStep>& clip, double x, double y) {
  x *= 16, y *= 16;
  bool in = true;
  for (const TClipStep& s : clip) {
    if (s.rect) {
      in = in && x >= s.left && x < s.right && y >= s.top && y < s.bottom;
      continue;
    }
    const int w = Winding(s.rings, x, y);
    const bool here = s.evenOdd ? (w & 1) != 0 : w != 0;
    in = s.mode == 5 ? here : (in && here);
  }
  return in;
}

std::size_t PathSteps(const std::vector<TClipStep>& clip) {
  std::size_t n = 0;
  for (const TClipStep& s : clip) n += !s.rect;
  return n;
}

TPlayed Play(const TBytes& bytes) {
  TPlayed out;
  TLittleEndian in(bytes);
  std::vector<TClipStep> clip;
  std::vector<std::vector<TClipStep>> saved;
  std::vector<TRing> path;
  bool inPath = false;
  int fillMode = 1;
  for (std::size_t at = 0; at + 8 <= bytes.size();) {
    const std::uint32_t type = in.U32(at), size = in.U32(at + 4);
    if (size < 8 || at + size > bytes.size()) return out.ok = false, out;
    const std::size_t p = at + 8;
    auto i32 = [&](std::size_t off) { return static_cast<std::int32_t>(in.U32(p + off)); };
    auto ring = [&](std::size_t from, std::uint32_t count) {
      TRing r;
      for (std::uint32_t k = 0; k < count; ++k) r.push_back({double(i32(from + 8 * k)), double(i32(from + 8 * k + 4))});
      return r;
    };
    std::vector<TRing> polys;
    if (type == 3) polys.push_back(ring(20, in.U32(p + 16)));
    if (type == 8) {
      const std::uint32_t n = in.U32(p + 16);
      std::size_t pts = 24 + 4 * std::size_t{n};
      for (std::uint32_t k = 0; k < n; ++k) {
        const std::uint32_t c = in.U32(p + 24 + 4 * k);
        polys.push_back(ring(pts, c));
        pts += 8 * std::size_t{c};
      }
    }
    switch (type) {
      case 33: ++out.saves; saved.push_back(clip); break;
      case 34:
        ++out.restores;
        if (saved.empty()) return out.ok = false, out;
        clip = saved.back();
        saved.pop_back();
        break;
      case 19: fillMode = i32(0); break;
      case 59: inPath = true; path.clear(); break;
      case 60: inPath = false; break;
      case 30: clip.push_back({true, 0, true, {}, double(i32(0)), double(i32(4)), double(i32(8)), double(i32(12))}); break;
      case 67: clip.push_back({false, i32(0), fillMode == 1, path}); break;
      case 3: case 8:
        if (inPath) path.insert(path.end(), polys.begin(), polys.end());
        else out.fillClips.push_back(clip);
        break;
      default: break;
    }
    at += size;
  }
  return out;
}

using testing::Box;
using testing::Circle;

class MetafileEmfClipTest : public ::testing::Test {
 protected:
  void SetUp() override { meta.Reset(true, 200, 100); }
  void Clip(TMetafileCanvas& c, const std::function<void()>& path, int rule = kFillRuleNonZero) {
    c.BeginPath();
    path();
    c.SetClip(rule);
    c.EndPath();
  }
  void Triangle(TMetafileCanvas& c) {
    Clip(c, [&] {
      c.MoveTo(0, 0);
      c.LineTo(200, 0);
      c.LineTo(0, 100);
      c.ClosePath();
    });
  }
  void FillPage(TMetafileCanvas& c) {
    c.SetFillRule(kFillRuleNonZero);
    c.BeginPath();
    Box(c, -5, -5, 210, 110);
    c.FillPath();
  }
  // Every sample point inside the clip exactly when `expected` says so (points within a pixel
  // of an edge of the expected shapes are skipped: flattening and rounding move edges).
  void ExpectClip(const std::vector<TClipStep>& clip,
                  const std::function<bool(double, double)>& expected,
                  const std::function<double(double, double)>& edgeDistance) {
    int checked = 0;
    for (double y = 0.5; y < 100; y += 1.7) {
      for (double x = 0.5; x < 200; x += 2.3) {
        if (edgeDistance(x, y) < 1) continue;
        ++checked;
        EXPECT_EQ(Inside(clip, x, y), expected(x, y)) << x << "," << y;
      }
    }
    EXPECT_GT(checked, 3000);
  }
  TKestrelMetafile meta;
};

bool InTriangle(double x, double y) { return x / 200 + y / 100 < 1; }
double FromTriangle(double x, double y) {
  return std::min({x, y, std::fabs(x / 200 + y / 100 - 1) * 89.4});
}
bool InCircle(double x, double y) { return std::hypot(x - 100, y - 40) < 35; }
double FromCircle(double x, double y) { return std::fabs(std::hypot(x - 100, y - 40) - 35); }

TEST_F(MetafileEmfClipTest, AClipPathInsideAnotherIsOnePathSetWholeAndRestoreGivesTheOuter) {
  TMetafileCanvas c(meta);
  const TClipHandle page = c.SaveClip();
  Triangle(c);
  const TClipHandle triangle = c.SaveClip();
  Clip(c, [&] { Circle(c, 100, 40, 35); });
  FillPage(c);
  c.RestoreClip(triangle);
  FillPage(c);
  c.RestoreClip(page);
  FillPage(c);
  EXPECT_EQ(meta.Dropped(), 0u);

  // The recording: the inner push carries the whole clip, marked to be set in place.
  std::vector<const TMetafileRecord*> pushes;
  for (const TMetafileRecord& r : meta.Records())
    if (r.Op == TMetafileOp::PushClip) pushes.push_back(&r);
  ASSERT_EQ(pushes.size(), 2u);
  EXPECT_FALSE(pushes[0]->Replace);
  EXPECT_TRUE(pushes[1]->Replace);

  const TBytes bytes = meta.Write();
  const auto walk = fuzzharness::WalkEnhancedMetafile(bytes);
  ASSERT_TRUE(walk.ok) << walk.error;
  const TPlayed played = Play(bytes);
  ASSERT_TRUE(played.ok);
  EXPECT_EQ(played.saves, played.restores);
  ASSERT_EQ(played.fillClips.size(), 3u);
  // Inside both: one path clip, selected in place of the triangle (not narrowing it).
  const auto& inner = played.fillClips[0];
  ASSERT_EQ(PathSteps(inner), 2u);  // the triangle's, then the one that replaces it
  EXPECT_EQ(inner.back().mode, 5);
  const std::vector<TClipStep> alone{inner.back()};
  auto both = [](double x, double y) { return InTriangle(x, y) && InCircle(x, y); };
  auto near = [](double x, double y) { return std::min(FromTriangle(x, y), FromCircle(x, y)); };
  ExpectClip(alone, both, near);
  ExpectClip(inner, both, near);
  // Back at the triangle: exactly the triangle again; back at the page: no clip.
  ExpectClip(played.fillClips[1], InTriangle, FromTriangle);
  EXPECT_TRUE(played.fillClips[2].empty());
}

TEST_F(MetafileEmfClipTest, RectanglesAroundAndBetweenClipPathsStayInTheWholeClip) {
  TMetafileCanvas c(meta);
  Clip(c, [&] { Box(c, 20, 0, 180, 100); });
  Triangle(c);
  Clip(c, [&] { Box(c, 0, 0, 200, 50); });
  const TClipHandle rects = c.SaveClip();
  // An even-odd ring: the circle with a square hole.
  Clip(c, [&] {
    Circle(c, 100, 40, 35);
    Box(c, 90, 30, 20, 20);
  }, kFillRuleEvenOdd);
  FillPage(c);
  c.RestoreClip(rects);
  FillPage(c);
  EXPECT_EQ(meta.Dropped(), 0u);
  const TBytes bytes = meta.Write();
  ASSERT_TRUE(fuzzharness::WalkEnhancedMetafile(bytes).ok);
  const TPlayed played = Play(bytes);
  ASSERT_TRUE(played.ok);
  EXPECT_EQ(played.saves, played.restores);
  ASSERT_EQ(played.fillClips.size(), 2u);
  auto inRects = [](double x, double y) { return x >= 20 && y < 50; };
  auto fromRects = [](double x, double y) { return std::min(std::fabs(x - 20), std::fabs(y - 50)); };
  auto inHole = [](double x, double y) { return x > 90 && x < 110 && y > 30 && y < 50; };
  auto fromHole = [](double x, double y) {
    return std::min({std::fabs(x - 90), std::fabs(x - 110), std::fabs(y - 30), std::fabs(y - 50)});
  };
  const auto& inner = played.fillClips[0];
  ASSERT_FALSE(inner.empty());
  EXPECT_EQ(inner.back().mode, 5);
  // The last path alone already holds the rectangles, the triangle and the ring.
  ExpectClip({inner.back()},
             [&](double x, double y) {
               return inRects(x, y) && InTriangle(x, y) && InCircle(x, y) && !inHole(x, y);
             },
             [&](double x, double y) {
               return std::min({fromRects(x, y), FromTriangle(x, y), FromCircle(x, y),
                                fromHole(x, y)});
             });
  ExpectClip(played.fillClips[1],
             [&](double x, double y) { return inRects(x, y) && InTriangle(x, y); },
             [&](double x, double y) { return std::min(fromRects(x, y), FromTriangle(x, y)); });
}

TEST_F(MetafileEmfClipTest, InnerClipsTooComplexNarrowTheOuterByTheirBoundingBox) {
  // Too many edges to intersect: a comb.
  {
    TMetafileCanvas c(meta);
    Triangle(c);
    Clip(c, [&] {
      const int n = static_cast<int>(kMaxNonZeroEdges) + 10;
      c.MoveTo(20, 10);
      for (int i = 1; i < n; ++i) c.LineTo(20 + 100.0 * i / n, i % 2 ? 60 : 10);
      c.ClosePath();
    });
    FillPage(c);
    EXPECT_EQ(meta.Dropped(), 1u);
    const TPlayed played = Play(meta.Write());
    ASSERT_EQ(played.fillClips.size(), 1u);
    const auto& clip = played.fillClips[0];
    ASSERT_EQ(PathSteps(clip), 1u);
    EXPECT_TRUE(clip.back().rect);
    EXPECT_EQ(clip.front().mode, 5);
    auto inBox = [](double x, double y) { return x >= 20 && x < 120 && y >= 10 && y < 60; };
    ExpectClip(clip, [&](double x, double y) { return InTriangle(x, y) && inBox(x, y); },
               [&](double x, double y) {
                 return std::min({FromTriangle(x, y), std::fabs(x - 20), std::fabs(x - 120),
                                  std::fabs(y - 10), std::fabs(y - 60)});
               });
  }
  // More pieces than one clip path may hold: a grid of small squares.
  meta.Reset(true, 200, 100);
  TMetafileCanvas c(meta);
  Triangle(c);
  const int side = 110;
  ASSERT_GT(side * side, static_cast<int>(TMetafileCanvas::kMaxNestedClipFigures));
  Clip(c, [&] {
    for (int i = 0; i < side; ++i)
      for (int k = 0; k < side; ++k) Box(c, 0.5 + k * 0.5, 0.5 + i * 0.5, 0.25, 0.25);
  });
  FillPage(c);
  EXPECT_EQ(meta.Dropped(), 1u);
  const TPlayed played = Play(meta.Write());
  ASSERT_EQ(played.fillClips.size(), 1u);
  ASSERT_EQ(PathSteps(played.fillClips[0]), 1u);
  EXPECT_TRUE(played.fillClips[0].back().rect);
  for (const TMetafileRecord& r : meta.Records()) EXPECT_FALSE(r.Replace);
}

TEST_F(MetafileEmfClipTest, ANestedClipThatMissesTheOuterClipsEverything) {
  TMetafileCanvas c(meta);
  Triangle(c);
  Clip(c, [&] { Circle(c, 170, 80, 15); });
  FillPage(c);
  EXPECT_EQ(meta.Dropped(), 0u);
  const TPlayed played = Play(meta.Write());
  ASSERT_EQ(played.fillClips.size(), 1u);
  ExpectClip(played.fillClips[0], [](double, double) { return false; },
             [](double, double) { return 10.0; });
}

}  // namespace
}  // namespace kestrel
