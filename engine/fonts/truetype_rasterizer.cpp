#include "engine/fonts/truetype_rasterizer.h"

#include <algorithm>
#include <charconv>

#include "engine/fonts/glyph_names.h"

namespace kestrel {

namespace {

// Composite glyphs built from composites: real fonts nest accents this way, a few levels deep.
constexpr int kMaxCompositeDepth = 8;

// The decimal number after a four-character prefix ("GID:17", "CID:65"); 0 when there is none.
int NumberAfterPrefix(std::string_view name) {
  if (name.size() <= 4) return 0;
  int n = 0;
  const auto* begin = name.data() + 4;
  const auto [end, ec] = std::from_chars(begin, name.data() + name.size(), n);
  return ec == std::errc{} && end == name.data() + name.size() && n >= 0 ? n : 0;
}

// "uniXXXX" names the glyph of one UTF-16 value.
std::uint16_t UniName(std::string_view name) {
  if (name.size() != 7 || name.substr(0, 3) != "uni") return 0;
  unsigned v = 0;
  const auto [end, ec] = std::from_chars(name.data() + 3, name.data() + 7, v, 16);
  return ec == std::errc{} && end == name.data() + 7 ? static_cast<std::uint16_t>(v) : 0;
}

class TShapeSink {
 public:
  TShapeSink(TPDFGenericShape& shape, const TPDFMatrix& m) : shape_(shape), m_(m) {}
  TPDFPoint Map(const TPDFTTPoint& p) const { return TransformPoint(m_, p.x, p.y); }
  void Move(TPDFPoint p) { shape_.AddMoveTo(p.x, p.y); }
  void Line(TPDFPoint p) { shape_.AddLineTo(p.x, p.y); }
  void Quad(TPDFPoint c, TPDFPoint p) { shape_.AddQuadTo(c.x, c.y, p.x, p.y); }
  void Close() { shape_.AddClosePath(); }

 private:
  TPDFGenericShape& shape_;
  const TPDFMatrix& m_;
};

TPDFPoint Mid(TPDFPoint a, TPDFPoint b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2}; }

void AddSimpleGlyph(const TPDFTTglyfTable& g, const TPDFMatrix& m, TPDFGenericShape& shape) {
  TShapeSink sink(shape, m);
  std::vector<TPDFPoint> pending;
  std::size_t first = 0;
  for (const std::uint16_t endIndex : g.ContourEnds) {
    const std::size_t last = std::min<std::size_t>(endIndex, g.Points.size() - 1);
    if (first >= g.Points.size() || last < first) {
      first = std::max<std::size_t>(first, std::size_t{endIndex} + 1);
      continue;
    }
    auto on = [&](std::size_t i) { return (g.PointFlags[i] & 1) != 0; };
    // A contour starts on the curve: at its first point, else at its last point when that is
    // on the curve, else midway between the two off-curve points.
    std::size_t from = first, to = last;
    TPDFPoint start;
    if (on(first)) {
      start = sink.Map(g.Points[first]);
      from = first + 1;
    } else if (on(last)) {
      start = sink.Map(g.Points[last]);
      to = last - 1;
    } else {
      start = Mid(sink.Map(g.Points[last]), sink.Map(g.Points[first]));
    }
    sink.Move(start);
    pending.clear();
    auto flush = [&](TPDFPoint end) {
      for (std::size_t k = 0; k + 1 < pending.size(); ++k)
        sink.Quad(pending[k], Mid(pending[k], pending[k + 1]));
      sink.Quad(pending.back(), end);
      pending.clear();
    };
    for (std::size_t i = from; i <= to && i >= from; ++i) {
      const TPDFPoint p = sink.Map(g.Points[i]);
      if (!on(i)) {
        pending.push_back(p);
      } else if (pending.empty()) {
        sink.Line(p);
      } else {
        flush(p);
      }
    }
    if (!pending.empty()) flush(start);
    sink.Close();
    first = last + 1;
  }
}

}  // namespace

const TPDFTrueTypeRasterizer2::TCmapIndex& TPDFTrueTypeRasterizer2::Index(int platform,
                                                                          int encoding) {
  const std::size_t slot = platform == 3 ? (encoding == 0 ? 0 : 2) : 1;
  TCmapIndex& index = cmapIndexes_[slot];
  if (index.Built) return index;
  index.Built = true;
  index.Subtable = Parser.FindCmapSubtable(platform, encoding);
  if (const TPDFTTEncodingRecord* e = Parser.CmapSubtable(index.Subtable)) {
    for (std::size_t i = 0; i < e->Codes.size(); ++i) {
      index.First.try_emplace(e->Codes[i], e->Glyphs[i]);
      index.LastByLowByte[e->Codes[i] & 0xFF] = e->Glyphs[i];
    }
  }
  return index;
}

int TPDFTrueTypeRasterizer2::GlyphIndexOf(std::string_view name) {
  if (name.substr(0, 4) == "GID:") return NumberAfterPrefix(name);
  int g = 0;
  if (Symbolic && name.substr(0, 4) == "CID:") {
    const int n = NumberAfterPrefix(name);
    for (const auto [platform, encoding] : {std::pair{3, 0}, {1, 0}, {3, 1}}) {
      const TCmapIndex& index = Index(platform, encoding);
      if (index.Subtable < 0) continue;
      // A Unicode subtable is asked for the code itself before any code with its low byte.
      if (platform == 3 && encoding == 1) {
        if (auto it = index.First.find(static_cast<std::uint16_t>(n)); it != index.First.end())
          g = it->second;
      }
      if (g == 0 && n <= 255) g = index.LastByLowByte[static_cast<std::size_t>(n)];
      if (g != 0) return g;
    }
  }
  if (const TCmapIndex& index = Index(3, 1); index.Subtable >= 0) {
    std::uint16_t u = GlyphNameToUnicode(name);
    if (u == 0) u = UniName(name);
    if (u != 0) {
      if (auto it = index.First.find(u); it != index.First.end()) g = it->second;
    }
    if (g != 0) return g;
  }
  if (const TCmapIndex& index = Index(1, 0); index.Subtable >= 0) {
    const TPDFTTEncodingRecord* e = Parser.CmapSubtable(index.Subtable);
    const TLatinGlyph* row = FindLatinGlyph(name);
    const int m = row ? row->Codes[1] : 0;
    if (m > 0 && m <= 255 && e->Codes.size() == 256) g = e->Glyphs[static_cast<std::size_t>(m)];
    if (g != 0) return g;
  }
  if (Parser.GlyphNameCount() > 0) {
    const int k = Parser.GlyphIndexOfName(name);
    if (k > 0) g = k;
  }
  return g;
}

void TPDFTrueTypeRasterizer2::AddGlyph(int glyph, const TPDFMatrix& m, int depth,
                                       std::vector<int>& path, TPDFGenericShape& shape) const {
  const TPDFTTglyfTable g = Parser.GetGlyph(glyph);
  if (g.ContourCount > 0) {
    AddSimpleGlyph(g, m, shape);
    return;
  }
  if (depth >= kMaxCompositeDepth) return;
  path.push_back(glyph);
  for (const TPDFTTComponent& c : g.Components) {
    // A component that contains itself would recurse for ever.
    if (std::find(path.begin(), path.end(), c.GlyphIndex) != path.end()) continue;
    TPDFMatrix cm{1, 0, 0, 1, 0, 0};
    if (c.Flags & kArgsAreXYValues) cm.e = c.Arg1, cm.f = c.Arg2;
    if (c.Flags & (kHaveScale | kHaveXYScale)) cm.a = c.XScale, cm.d = c.YScale;
    if (c.Flags & kHaveTwoByTwo) cm = {c.XScale, c.Scale01, c.Scale10, c.YScale, cm.e, cm.f};
    TPDFMatrix total;
    MatrixMultiply(total, cm, m);
    AddGlyph(c.GlyphIndex, total, depth + 1, path, shape);
  }
  path.pop_back();
}

void TPDFTrueTypeRasterizer2::BuildOutline(int glyph, TPDFGenericShape& shape) const {
  const double s = 1000.0 / Parser.UnitsPerEm();
  std::vector<int> path;
  AddGlyph(glyph, TPDFMatrix{s, 0, 0, s, 0, 0}, 0, path, shape);
}

bool TPDFTrueTypeRasterizer2::DrawGlyph(TPDFGenericCanvas& canvas, const TPDFMatrix& matrix,
                                        double x, double y, std::string_view name) {
  if (Parser.GlyphCount() == 0) return false;
  auto it = glyphCache_.find(std::string(name));
  if (it == glyphCache_.end()) {
    // The entry goes in first, so a glyph that cannot be found is looked up only once.
    auto shape = std::make_unique<TPDFGenericShape>();
    BuildOutline(GlyphIndexOf(name), *shape);
    cacheBytes_ += sizeof(TPDFGenericShape) + name.size() + 64 +
                   shape->Count() * sizeof(TShapeCommand);
    it = glyphCache_.emplace(std::string(name), std::move(shape)).first;
  }
  TPDFMatrix m;
  MatrixMultiply(m, TPDFMatrix{1, 0, 0, 1, x, y}, matrix);
  ReplayShape(canvas, *it->second, m);
  return true;
}

std::size_t TPDFTrueTypeRasterizer2::MemorySize() const {
  return Parser.MemorySize() + FontData.capacity() + cacheBytes_;
}

}  // namespace kestrel
