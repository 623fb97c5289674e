// The placeable Windows metafile: the 22-byte placeable header, the metafile header, then one
// record per drawing step. Curves arrive flattened; clips become rectangles (the format cannot
// clip to a path: a clip that is not an axis-aligned rectangle clips to its bounding box, and
// the canvas has already cut the drawing under it to the path itself).
#include <algorithm>
#include <cmath>

#include "engine/output/metafile/metafile_format.h"

namespace kestrel {

using namespace metafile;

namespace {

constexpr std::uint16_t kMetaEOF = 0x0000;
constexpr std::uint16_t kMetaSaveDC = 0x001E;
constexpr std::uint16_t kMetaSetPolyFillMode = 0x0106;
constexpr std::uint16_t kMetaSetStretchBltMode = 0x0107;
constexpr std::uint16_t kMetaRestoreDC = 0x0127;
constexpr std::uint16_t kMetaSelectObject = 0x012D;
constexpr std::uint16_t kMetaDeleteObject = 0x01F0;
constexpr std::uint16_t kMetaSetWindowOrg = 0x020B;
constexpr std::uint16_t kMetaSetWindowExt = 0x020C;
constexpr std::uint16_t kMetaCreatePenIndirect = 0x02FA;
constexpr std::uint16_t kMetaCreateBrushIndirect = 0x02FC;
constexpr std::uint16_t kMetaPolygon = 0x0324;
constexpr std::uint16_t kMetaPolyline = 0x0325;
constexpr std::uint16_t kMetaIntersectClipRect = 0x0416;
constexpr std::uint16_t kMetaPolyPolygon = 0x0538;
constexpr std::uint16_t kMetaStretchDIB = 0x0F43;

// Point counts are 16-bit fields; a polygon record carries at most this many points and a
// poly-polygon record at most this many polygons.
constexpr std::size_t kMaxFigurePoints = 32767;
constexpr std::size_t kMaxFiguresPerRecord = 16384;
// Pages up to this many pixels a side are written one unit a pixel, as the placeable header
// promises. Larger pages are scaled down to it, so that the guard box around the page (and
// the 16-bit header box) still fits in signed 16 bits.
constexpr double kMaxUnitsPerSide = 30000;

std::uint16_t PenStyle(const TPenSpec& pen) {
  if (pen.Null) return 5;  // PS_NULL
  std::uint16_t style = 0;  // PS_SOLID, round cap, round join
  if (pen.Cap == 0) style |= 0x0200;   // PS_ENDCAP_FLAT
  if (pen.Cap == 2) style |= 0x0100;   // PS_ENDCAP_SQUARE
  if (pen.Join == 0) style |= 0x2000;  // PS_JOIN_MITER
  if (pen.Join == 2) style |= 0x1000;  // PS_JOIN_BEVEL
  return style;
}

class TWmfWriter {
 public:
  explicit TWmfWriter(const TKestrelMetafile& m) : m_meta(m), m_objects(Emitter()) {
    const double side = static_cast<double>(std::max(m.Width(), m.Height()));
    m_map.UnitsPerPixel = side > kMaxUnitsPerSide ? kMaxUnitsPerSide / side : 1.0;
    m_map.Limit = 32767;
    m_width = MappedExtent(m_map, m.Width());
    m_height = MappedExtent(m_map, m.Height());
  }

  TBytes Write() {
    TBytes params;
    PutI16(params, 0);  // y
    PutI16(params, 0);  // x
    Record(kMetaSetWindowOrg, params);
    params.clear();
    PutI16(params, static_cast<std::int16_t>(m_height));
    PutI16(params, static_cast<std::int16_t>(m_width));
    Record(kMetaSetWindowExt, params);

    for (const TMetafileRecord& r : m_meta.Records()) {
      switch (r.Op) {
        case TMetafileOp::Fill: Fill(r); break;
        case TMetafileOp::Stroke: Stroke(r); break;
        case TMetafileOp::PushClip: PushClip(r); break;
        case TMetafileOp::PopClip: m_objects.Restore(); break;
        case TMetafileOp::Image: Image(r); break;
      }
    }
    m_objects.Finish();
    Record(kMetaEOF, {});
    return Assemble();
  }

 private:
  TGdiObjects::TEmitter Emitter() {
    TGdiObjects::TEmitter e;
    e.CreatePen = [this](int, const TPenSpec& pen) {
      TBytes p;
      PutU16(p, PenStyle(pen));
      PutI16(p, static_cast<std::int16_t>(std::clamp(pen.Width, 0, 32767)));
      PutI16(p, 0);
      PutU32(p, pen.Color);
      Record(kMetaCreatePenIndirect, p);
    };
    e.CreateBrush = [this](int, const TBrushSpec& brush) {
      TBytes p;
      PutU16(p, brush.Null ? 1 : 0);  // BS_NULL or BS_SOLID
      PutU32(p, brush.Color);
      PutU16(p, 0);
      Record(kMetaCreateBrushIndirect, p);
    };
    e.Select = [this](int slot) { Word(kMetaSelectObject, static_cast<std::uint16_t>(slot)); };
    e.Delete = [this](int slot) { Word(kMetaDeleteObject, static_cast<std::uint16_t>(slot)); };
    e.SetFillMode = [this](int mode) { Word(kMetaSetPolyFillMode, static_cast<std::uint16_t>(mode)); };
    e.SetStretchMode = [this](int mode) {
      Word(kMetaSetStretchBltMode, static_cast<std::uint16_t>(mode));
    };
    e.SaveDC = [this] { Record(kMetaSaveDC, {}); };
    e.RestoreDC = [this] { Word(kMetaRestoreDC, 0xFFFF); };  // -1: the last saved state
    return e;
  }

  void Word(std::uint16_t function, std::uint16_t value) {
    TBytes p;
    PutU16(p, value);
    Record(function, p);
  }

  void Record(std::uint16_t function, const TBytes& params) {
    const std::size_t words = 3 + (params.size() + 1) / 2;
    PutU32(m_body, static_cast<std::uint32_t>(words));
    PutU16(m_body, function);
    m_body += params;
    if (params.size() % 2) m_body.push_back('\0');
    m_maxRecord = std::max(m_maxRecord, words);
  }

  std::vector<std::vector<TIntPoint>> Figures(const TMetafileRecord& r, std::size_t minPoints,
                                              std::vector<bool>* closed) {
    std::vector<std::vector<TIntPoint>> out;
    const auto& figures = m_meta.Figures();
    for (std::uint32_t i = 0; i < r.FigureCount && r.FirstFigure + i < figures.size(); ++i) {
      const TMetafileFigure& f = figures[r.FirstFigure + i];
      std::vector<TIntPoint> pts = MapFigure(m_meta, f, m_map, kMaxFigurePoints);
      if (pts.size() < minPoints) {
        // A stroke of one point still marks its place (a dot with round or square caps).
        if (minPoints == 2 && pts.size() == 1) pts.push_back(pts[0]);
        else continue;
      }
      out.push_back(std::move(pts));
      if (closed) closed->push_back(f.Closed);
    }
    return out;
  }

  static void PutPoints(TBytes& p, const std::vector<TIntPoint>& pts) {
    for (const TIntPoint& q : pts) {
      PutI16(p, static_cast<std::int16_t>(q.x));
      PutI16(p, static_cast<std::int16_t>(q.y));
    }
  }

  void Polygon(const std::vector<TIntPoint>& pts) {
    TBytes p;
    PutI16(p, static_cast<std::int16_t>(pts.size()));
    PutPoints(p, pts);
    Record(kMetaPolygon, p);
  }

  // Polygons in as few poly-polygon records as the 16-bit counts allow.
  void Polygons(const std::vector<std::vector<TIntPoint>>& figures) {
    if (figures.size() == 1) return Polygon(figures[0]);
    for (std::size_t start = 0; start < figures.size(); start += kMaxFiguresPerRecord) {
      const std::size_t end = std::min(figures.size(), start + kMaxFiguresPerRecord);
      TBytes p;
      PutU16(p, static_cast<std::uint16_t>(end - start));
      for (std::size_t i = start; i < end; ++i)
        PutU16(p, static_cast<std::uint16_t>(figures[i].size()));
      for (std::size_t i = start; i < end; ++i) PutPoints(p, figures[i]);
      Record(kMetaPolyPolygon, p);
    }
  }

  void Fill(const TMetafileRecord& r) {
    const auto figures = Figures(r, 3, nullptr);
    if (figures.empty()) return;
    m_objects.UsePen(TPenSpec{});
    m_objects.UseBrush(TBrushSpec{false, r.Color});
    m_objects.UseFillMode(r.EvenOdd ? 1 : 2);
    Polygons(figures);
  }

  void Stroke(const TMetafileRecord& r) {
    std::vector<bool> closed;
    const auto figures = Figures(r, 2, &closed);
    if (figures.empty()) return;
    const TPenSpec pen = StrokePen(r, m_map);
    m_objects.UsePen(pen);
    m_objects.UseBrush(TBrushSpec{});
    // Closed outlines as polygons (joined all round), open ones as polylines.
    std::vector<std::vector<TIntPoint>> rings;
    for (std::size_t i = 0; i < figures.size(); ++i) {
      if (closed[i] && figures[i].size() >= 3) {
        rings.push_back(figures[i]);
        continue;
      }
      TBytes p;
      PutI16(p, static_cast<std::int16_t>(figures[i].size()));
      PutPoints(p, figures[i]);
      Record(kMetaPolyline, p);
    }
    if (!rings.empty()) Polygons(rings);
  }

  void PushClip(const TMetafileRecord& r) {
    m_objects.Save();
    const auto figures = Figures(r, 1, nullptr);
    TIntPoint lo{0, 0}, hi{0, 0};
    if (!AsRectangle(figures, lo, hi) && !figures.empty()) {
      lo = figures[0][0];
      hi = lo;
      for (const auto& f : figures) {
        for (const TIntPoint& q : f) {
          lo = {std::min(lo.x, q.x), std::min(lo.y, q.y)};
          hi = {std::max(hi.x, q.x), std::max(hi.y, q.y)};
        }
      }
    }
    // No figures: an empty rectangle, which clips everything away.
    TBytes p;
    PutI16(p, static_cast<std::int16_t>(hi.y));
    PutI16(p, static_cast<std::int16_t>(hi.x));
    PutI16(p, static_cast<std::int16_t>(lo.y));
    PutI16(p, static_cast<std::int16_t>(lo.x));
    Record(kMetaIntersectClipRect, p);
  }

  void StretchDib(const TMetafileImage& image, const TBytes& dib, std::uint32_t rop) {
    const std::int32_t x0 = m_map.Map(image.X), y0 = m_map.Map(image.Y);
    const std::int32_t x1 = m_map.Map(image.X + image.W), y1 = m_map.Map(image.Y + image.H);
    TBytes p;
    PutU32(p, rop);
    PutU16(p, 0);  // DIB_RGB_COLORS
    PutI16(p, static_cast<std::int16_t>(image.Height));
    PutI16(p, static_cast<std::int16_t>(image.Width));
    PutI16(p, 0);
    PutI16(p, 0);
    PutI16(p, static_cast<std::int16_t>(std::clamp(y1 - y0, -32767, 32767)));
    PutI16(p, static_cast<std::int16_t>(std::clamp(x1 - x0, -32767, 32767)));
    PutI16(p, static_cast<std::int16_t>(y0));
    PutI16(p, static_cast<std::int16_t>(x0));
    p += dib;
    Record(kMetaStretchDIB, p);
  }

  void Image(const TMetafileRecord& r) {
    if (r.Image >= m_meta.Images().size()) return;
    const TMetafileImage& image = m_meta.Images()[r.Image];
    // The bitmap fields are 16-bit.
    if (image.Width > 32767 || image.Height > 32767) return;
    m_objects.UseStretchMode(image.Smooth ? 4 : 3);
    if (image.Mask.empty()) {
      StretchDib(image, ColourDib(image), kRopSrcCopy);
    } else {
      // Transparent pixels keep what is below: AND with the mask, then OR the picture.
      StretchDib(image, MaskDib(image), kRopSrcAnd);
      StretchDib(image, ColourDib(image), kRopSrcPaint);
    }
  }

  TBytes Assemble() {
    TBytes out;
    // Placeable header; the checksum is the XOR of its first ten 16-bit words.
    PutU32(out, 0x9AC6CDD7);
    PutU16(out, 0);
    PutI16(out, 0);
    PutI16(out, 0);
    PutI16(out, static_cast<std::int16_t>(m_width));
    PutI16(out, static_cast<std::int16_t>(m_height));
    PutU16(out, 96);
    PutU32(out, 0);
    std::uint16_t sum = 0;
    for (int i = 0; i < 10; ++i) {
      sum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(out[2 * i]) |
                                        static_cast<unsigned char>(out[2 * i + 1]) << 8);
    }
    PutU16(out, sum);
    // Metafile header: memory metafile, 9-word header, version 3.0.
    PutU16(out, 1);
    PutU16(out, 9);
    PutU16(out, 0x0300);
    PutU32(out, static_cast<std::uint32_t>(9 + m_body.size() / 2));
    PutU16(out, static_cast<std::uint16_t>(m_objects.MaxSlots()));
    PutU32(out, static_cast<std::uint32_t>(m_maxRecord));
    PutU16(out, 0);
    out += m_body;
    return out;
  }

  const TKestrelMetafile& m_meta;
  TCoordinateMap m_map;
  std::int32_t m_width = 1, m_height = 1;
  TBytes m_body;
  std::size_t m_maxRecord = 0;
  TGdiObjects m_objects;
};

}  // namespace

TBytes WriteWindowsMetafile(const TKestrelMetafile& metafile) {
  return TWmfWriter(metafile).Write();
}

}  // namespace kestrel
