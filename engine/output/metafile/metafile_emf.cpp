// The enhanced metafile: EMR_HEADER, the drawing records, EMR_EOF. The logical coordinates
// are a sixteenth of a pixel (an anisotropic mapping onto the page's pixels), so that edges
// and pen widths keep their fractions; clips are true path clips.
#include <algorithm>
#include <cmath>

#include "engine/output/metafile/metafile_format.h"

namespace kestrel {

using namespace metafile;

namespace {

constexpr std::uint32_t kEmrHeader = 1;
constexpr std::uint32_t kEmrPolygon = 3;
constexpr std::uint32_t kEmrPolyline = 4;
constexpr std::uint32_t kEmrPolyPolyline = 7;
constexpr std::uint32_t kEmrPolyPolygon = 8;
constexpr std::uint32_t kEmrSetWindowExtEx = 9;
constexpr std::uint32_t kEmrSetWindowOrgEx = 10;
constexpr std::uint32_t kEmrSetViewportExtEx = 11;
constexpr std::uint32_t kEmrSetViewportOrgEx = 12;
constexpr std::uint32_t kEmrEOF = 14;
constexpr std::uint32_t kEmrSetMapMode = 17;
constexpr std::uint32_t kEmrSetBkMode = 18;
constexpr std::uint32_t kEmrSetPolyFillMode = 19;
constexpr std::uint32_t kEmrSetStretchBltMode = 21;
constexpr std::uint32_t kEmrIntersectClipRect = 30;
constexpr std::uint32_t kEmrSaveDC = 33;
constexpr std::uint32_t kEmrRestoreDC = 34;
constexpr std::uint32_t kEmrSelectObject = 37;
constexpr std::uint32_t kEmrCreatePen = 38;
constexpr std::uint32_t kEmrCreateBrushIndirect = 39;
constexpr std::uint32_t kEmrDeleteObject = 40;
constexpr std::uint32_t kEmrSetMiterLimit = 58;
constexpr std::uint32_t kEmrBeginPath = 59;
constexpr std::uint32_t kEmrEndPath = 60;
constexpr std::uint32_t kEmrSelectClipPath = 67;
constexpr std::uint32_t kEmrStretchDIBits = 81;
constexpr std::uint32_t kEmrExtCreatePen = 95;

constexpr std::uint32_t kHeaderSize = 108;
constexpr double kUnitsPerPixel = 16;
// Logical coordinates stay far inside 32 bits: pages too large for 16 units a pixel are
// scaled down to this many units a side.
constexpr double kMaxUnitsPerSide = 1e9;
constexpr std::int32_t kCoordinateLimit = 2'000'000'000;
// Pixels a reference inch: the frame gives the page the same size as the placeable header of
// a Windows metafile does.
constexpr double kPixelsPerInch = 96;

std::uint32_t ExtPenStyle(const TPenSpec& pen) {
  std::uint32_t style = 0x00010000;  // PS_GEOMETRIC | PS_SOLID, round cap, round join
  if (pen.Cap == 0) style |= 0x0200;   // PS_ENDCAP_FLAT
  if (pen.Cap == 2) style |= 0x0100;   // PS_ENDCAP_SQUARE
  if (pen.Join == 0) style |= 0x2000;  // PS_JOIN_MITER
  if (pen.Join == 2) style |= 0x1000;  // PS_JOIN_BEVEL
  return style;
}

std::int32_t Clamp32(double v) {
  if (!(v == v)) return 0;
  return static_cast<std::int32_t>(std::clamp(std::nearbyint(v), -2e9, 2e9));
}

class TEmfWriter {
 public:
  explicit TEmfWriter(const TKestrelMetafile& m) : m_meta(m), m_objects(Emitter()) {
    const double side = static_cast<double>(std::max(m.Width(), m.Height()));
    m_map.UnitsPerPixel = side * kUnitsPerPixel > kMaxUnitsPerSide ? kMaxUnitsPerSide / side
                                                                   : kUnitsPerPixel;
    m_map.Limit = kCoordinateLimit;
  }

  TBytes Write() {
    const auto w = static_cast<std::int32_t>(m_meta.Width());
    const auto h = static_cast<std::int32_t>(m_meta.Height());
    Simple(kEmrSetMapMode, {8});  // MM_ANISOTROPIC
    Simple(kEmrSetWindowOrgEx, {0, 0});
    Simple(kEmrSetWindowExtEx, {MappedExtent(m_map, w), MappedExtent(m_map, h)});
    Simple(kEmrSetViewportOrgEx, {0, 0});
    Simple(kEmrSetViewportExtEx, {w, h});
    Simple(kEmrSetBkMode, {1});  // TRANSPARENT

    for (const TMetafileRecord& r : m_meta.Records()) {
      switch (r.Op) {
        case TMetafileOp::Fill: Fill(r); break;
        case TMetafileOp::Stroke: Stroke(r); break;
        case TMetafileOp::PushClip: PushClip(r); break;
        case TMetafileOp::PopClip:
          // The miter limit is part of the restored state: set it again when next needed.
          m_objects.Restore();
          m_miter = -1;
          break;
        case TMetafileOp::Image: Image(r); break;
      }
    }
    m_objects.Finish();
    Simple(kEmrEOF, {0, 16, 20});  // no palette; nSizeLast is this record's size
    return Assemble(w, h);
  }

 private:
  TGdiObjects::TEmitter Emitter() {
    TGdiObjects::TEmitter e;
    e.CreatePen = [this](int slot, const TPenSpec& pen) {
      TBytes p;
      if (pen.Null) {
        PutU32(p, static_cast<std::uint32_t>(slot + 1));
        PutU32(p, 5);  // PS_NULL
        PutI32(p, 0);
        PutI32(p, 0);
        PutU32(p, 0);
        return Record(kEmrCreatePen, p);
      }
      PutU32(p, static_cast<std::uint32_t>(slot + 1));
      PutU32(p, 0);  // no bitmap
      PutU32(p, 0);
      PutU32(p, 0);
      PutU32(p, 0);
      PutU32(p, ExtPenStyle(pen));
      PutU32(p, static_cast<std::uint32_t>(std::max(1, pen.Width)));
      PutU32(p, 0);  // BS_SOLID
      PutU32(p, pen.Color);
      PutU32(p, 0);
      PutU32(p, 0);  // no style entries
      Record(kEmrExtCreatePen, p);
    };
    e.CreateBrush = [this](int slot, const TBrushSpec& brush) {
      TBytes p;
      PutU32(p, static_cast<std::uint32_t>(slot + 1));
      PutU32(p, brush.Null ? 1 : 0);  // BS_NULL or BS_SOLID
      PutU32(p, brush.Color);
      PutU32(p, 0);
      Record(kEmrCreateBrushIndirect, p);
    };
    e.Select = [this](int slot) { Simple(kEmrSelectObject, {slot + 1}); };
    e.Delete = [this](int slot) { Simple(kEmrDeleteObject, {slot + 1}); };
    e.SetFillMode = [this](int mode) { Simple(kEmrSetPolyFillMode, {mode}); };
    e.SetStretchMode = [this](int mode) { Simple(kEmrSetStretchBltMode, {mode}); };
    e.SaveDC = [this] { Simple(kEmrSaveDC, {}); };
    e.RestoreDC = [this] { Simple(kEmrRestoreDC, {-1}); };
    return e;
  }

  void Record(std::uint32_t type, const TBytes& params) {
    PutU32(m_body, type);
    PutU32(m_body, static_cast<std::uint32_t>(8 + params.size()));
    m_body += params;
    ++m_records;
  }

  void Simple(std::uint32_t type, std::initializer_list<std::int32_t> values) {
    TBytes p;
    for (std::int32_t v : values) PutI32(p, v);
    Record(type, p);
  }

  std::vector<std::vector<TIntPoint>> Figures(const TMetafileRecord& r, std::size_t minPoints,
                                              std::vector<bool>* closed) {
    std::vector<std::vector<TIntPoint>> out;
    const auto& figures = m_meta.Figures();
    for (std::uint32_t i = 0; i < r.FigureCount && r.FirstFigure + i < figures.size(); ++i) {
      const TMetafileFigure& f = figures[r.FirstFigure + i];
      std::vector<TIntPoint> pts = MapFigure(m_meta, f, m_map, 0);
      if (pts.size() < minPoints) {
        if (minPoints == 2 && pts.size() == 1) pts.push_back(pts[0]);
        else continue;
      }
      out.push_back(std::move(pts));
      if (closed) closed->push_back(f.Closed);
    }
    return out;
  }

  static void PutBounds(TBytes& p, const std::vector<std::vector<TIntPoint>>& figures) {
    TIntPoint lo = figures[0][0], hi = lo;
    for (const auto& f : figures) {
      for (const TIntPoint& q : f) {
        lo = {std::min(lo.x, q.x), std::min(lo.y, q.y)};
        hi = {std::max(hi.x, q.x), std::max(hi.y, q.y)};
      }
    }
    PutI32(p, lo.x);
    PutI32(p, lo.y);
    PutI32(p, hi.x);
    PutI32(p, hi.y);
  }

  // One figure as a polygon or polyline record, several as a poly-polygon or poly-polyline.
  void Poly(const std::vector<std::vector<TIntPoint>>& figures, bool closed) {
    TBytes p;
    PutBounds(p, figures);
    std::size_t total = 0;
    for (const auto& f : figures) total += f.size();
    if (figures.size() > 1) PutU32(p, static_cast<std::uint32_t>(figures.size()));
    PutU32(p, static_cast<std::uint32_t>(total));
    if (figures.size() > 1) {
      for (const auto& f : figures) PutU32(p, static_cast<std::uint32_t>(f.size()));
    }
    for (const auto& f : figures) {
      for (const TIntPoint& q : f) {
        PutI32(p, q.x);
        PutI32(p, q.y);
      }
    }
    if (figures.size() > 1) {
      Record(closed ? kEmrPolyPolygon : kEmrPolyPolyline, p);
    } else {
      Record(closed ? kEmrPolygon : kEmrPolyline, p);
    }
  }

  void Fill(const TMetafileRecord& r) {
    const auto figures = Figures(r, 3, nullptr);
    if (figures.empty()) return;
    m_objects.UsePen(TPenSpec{});
    m_objects.UseBrush(TBrushSpec{false, r.Color});
    m_objects.UseFillMode(r.EvenOdd ? 1 : 2);
    Poly(figures, true);
  }

  void Stroke(const TMetafileRecord& r) {
    std::vector<bool> closed;
    const auto figures = Figures(r, 2, &closed);
    if (figures.empty()) return;
    const TPenSpec pen = StrokePen(r, m_map);
    m_objects.UsePen(pen);
    m_objects.UseBrush(TBrushSpec{});
    if (pen.Join == 0) {
      const double limit = std::isfinite(r.Pen.MiterLimit) ? r.Pen.MiterLimit : 10.0;
      const auto miter = static_cast<std::int32_t>(std::clamp(std::nearbyint(limit), 1.0, 1e6));
      if (miter != m_miter) {
        Simple(kEmrSetMiterLimit, {miter});
        m_miter = miter;
      }
    }
    std::vector<std::vector<TIntPoint>> rings, lines;
    for (std::size_t i = 0; i < figures.size(); ++i) {
      (closed[i] && figures[i].size() >= 3 ? rings : lines).push_back(figures[i]);
    }
    if (!rings.empty()) Poly(rings, true);
    if (!lines.empty()) Poly(lines, false);
  }

  // LibreOffice intersects clip paths correctly only when their figures turn one way
  // (clockwise on the page), so each figure is turned that way and the clip is taken
  // even-odd, which does not depend on the turning. That is the clip asked for: the canvas
  // records no non-zero figures that cover any area twice, and for those both rules agree.
  static std::vector<std::vector<TIntPoint>> Oriented(std::vector<std::vector<TIntPoint>> figures) {
    for (auto& f : figures) {
      double area = 0;
      for (std::size_t i = 0; i < f.size(); ++i) {
        const TIntPoint& p = f[i];
        const TIntPoint& q = f[(i + 1) % f.size()];
        area += double(p.x) * q.y - double(q.x) * p.y;
      }
      if (area < 0) std::reverse(f.begin(), f.end());
    }
    return figures;
  }

  void PushClip(const TMetafileRecord& r) {
    const bool first = m_objects.Depth() == 0;
    m_objects.Save();
    const auto figures = Figures(r, 3, nullptr);
    TIntPoint lo, hi;
    if (figures.empty() || AsRectangle(figures, lo, hi)) {
      // No area: an empty rectangle clips everything away.
      if (figures.empty()) lo = hi = TIntPoint{};
      Simple(kEmrIntersectClipRect, {lo.x, lo.y, hi.x, hi.y});
      return;
    }
    Simple(kEmrBeginPath, {});
    Poly(Oriented(figures), true);
    Simple(kEmrEndPath, {});
    m_objects.UseFillMode(1);
    // With no clip in force yet the path becomes the clip; otherwise it narrows it, unless it
    // already holds the clip in force (LibreOffice loses a path clip narrowed by another one,
    // so the canvas records nested clip paths as their intersection, to be set whole).
    Simple(kEmrSelectClipPath, {first || r.Replace ? 5 : 1});  // RGN_COPY : RGN_AND
  }

  void StretchDib(const TMetafileImage& image, const TBytes& dib, std::uint32_t rop) {
    const std::int32_t x0 = m_map.Map(image.X), y0 = m_map.Map(image.Y);
    const std::int32_t x1 = m_map.Map(image.X + image.W), y1 = m_map.Map(image.Y + image.H);
    const std::size_t bmiSize = dib.size() >= kDibHeaderSize &&
                                        static_cast<unsigned char>(dib[14]) == 1
                                    ? kDibHeaderSize + 8
                                    : kDibHeaderSize;
    constexpr std::uint32_t kFixed = 80;
    TBytes p;
    PutI32(p, std::min(x0, x1));
    PutI32(p, std::min(y0, y1));
    PutI32(p, std::max(x0, x1));
    PutI32(p, std::max(y0, y1));
    PutI32(p, x0);
    PutI32(p, y0);
    PutI32(p, 0);
    PutI32(p, 0);
    PutI32(p, image.Width);
    PutI32(p, image.Height);
    PutU32(p, kFixed);
    PutU32(p, static_cast<std::uint32_t>(bmiSize));
    PutU32(p, static_cast<std::uint32_t>(kFixed + bmiSize));
    PutU32(p, static_cast<std::uint32_t>(dib.size() - bmiSize));
    PutU32(p, 0);  // DIB_RGB_COLORS
    PutU32(p, rop);
    PutI32(p, x1 - x0);
    PutI32(p, y1 - y0);
    p += dib;
    Record(kEmrStretchDIBits, p);
  }

  void Image(const TMetafileRecord& r) {
    if (r.Image >= m_meta.Images().size()) return;
    const TMetafileImage& image = m_meta.Images()[r.Image];
    m_objects.UseStretchMode(image.Smooth ? 4 : 3);
    if (image.Mask.empty()) {
      StretchDib(image, ColourDib(image), kRopSrcCopy);
    } else {
      // Transparent pixels keep what is below: AND with the mask, then OR the picture.
      StretchDib(image, MaskDib(image), kRopSrcAnd);
      StretchDib(image, ColourDib(image), kRopSrcPaint);
    }
  }

  TBytes Assemble(std::int32_t w, std::int32_t h) {
    TBytes out;
    ++m_records;  // the header
    const double mmPerPixel = 25.4 / kPixelsPerInch;
    PutU32(out, kEmrHeader);
    PutU32(out, kHeaderSize);
    // Bounds (device pixels) and frame (hundredths of a millimetre), both inclusive.
    PutI32(out, 0);
    PutI32(out, 0);
    PutI32(out, w - 1);
    PutI32(out, h - 1);
    PutI32(out, 0);
    PutI32(out, 0);
    PutI32(out, Clamp32(w * mmPerPixel * 100) - 1);
    PutI32(out, Clamp32(h * mmPerPixel * 100) - 1);
    PutU32(out, 0x464D4520);  // " EMF"
    PutU32(out, 0x00010000);
    const std::size_t bytesAt = out.size();
    PutU32(out, 0);  // nBytes, patched below
    PutU32(out, static_cast<std::uint32_t>(m_records));
    PutU16(out, static_cast<std::uint16_t>(std::min(0xFFFF, m_objects.MaxSlots() + 1)));
    PutU16(out, 0);
    PutU32(out, 0);  // no description
    PutU32(out, 0);
    PutU32(out, 0);  // no palette
    // Reference device: the page's own pixels at 96 a inch.
    PutI32(out, w);
    PutI32(out, h);
    PutI32(out, std::max(1, Clamp32(w * mmPerPixel)));
    PutI32(out, std::max(1, Clamp32(h * mmPerPixel)));
    PutU32(out, 0);  // no pixel format
    PutU32(out, 0);
    PutU32(out, 0);  // not OpenGL
    PutI32(out, Clamp32(w * mmPerPixel * 1000));
    PutI32(out, Clamp32(h * mmPerPixel * 1000));
    out += m_body;
    PatchU32(out, bytesAt, static_cast<std::uint32_t>(out.size()));
    return out;
  }

  const TKestrelMetafile& m_meta;
  TCoordinateMap m_map;
  TBytes m_body;
  std::size_t m_records = 0;
  std::int32_t m_miter = 10;
  TGdiObjects m_objects;
};

}  // namespace

TBytes WriteEnhancedMetafile(const TKestrelMetafile& metafile) {
  return TEmfWriter(metafile).Write();
}

}  // namespace kestrel
