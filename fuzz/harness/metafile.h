#pragma once
// Fuzz harness for the metafile canvas and writers, shared by fuzz_metafile_canvas and the
// unit tests: a record walker for both formats that checks what a player relies on (sizes
// adding up to the file, the header's counts, the object table, balanced saved states), and a
// driver that feeds canvas programs (harness/canvas.h) into a metafile and walks both forms.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/output/metafile/metafile.h"
#include "engine/output/metafile/metafile_canvas.h"
#include "fuzz/harness/canvas.h"

namespace fuzzharness {

struct TMetafileWalk {
  bool ok = false;
  std::string error;
  std::size_t records = 0;        // including header (EMF) and end record
  int maxObjects = 0;             // most objects alive at once
  int declaredObjects = 0;        // WMF mtNoObjects, EMF nHandles
  int maxDepth = 0;               // deepest saved state
  std::vector<std::uint32_t> functions;  // record function (WMF) or type (EMF), in order
};

class TLittleEndian {
 public:
  explicit TLittleEndian(std::string_view bytes) : m_bytes(bytes) {}
  bool Has(std::size_t at, std::size_t n) const { return at <= m_bytes.size() && n <= m_bytes.size() - at; }
  std::uint32_t U16(std::size_t at) const {
    return static_cast<std::uint8_t>(m_bytes[at]) | static_cast<std::uint8_t>(m_bytes[at + 1]) << 8;
  }
  std::uint32_t U32(std::size_t at) const { return U16(at) | U16(at + 2) << 16; }
  std::size_t Size() const { return m_bytes.size(); }

 private:
  std::string_view m_bytes;
};

// Object table as a player keeps it: creation takes the lowest free slot (WMF) or the slot
// named (EMF); selection and deletion must name a live object.
class TObjectTable {
 public:
  bool Create(int slot) {
    if (slot < 0 || slot > 65535) return false;
    if (static_cast<std::size_t>(slot) >= m_live.size()) m_live.resize(slot + 1, false);
    if (m_live[slot]) return false;
    m_live[slot] = true;
    int n = 0;
    for (bool b : m_live) n += b;
    if (n > m_max) m_max = n;
    return true;
  }
  int Lowest() const {
    std::size_t i = 0;
    while (i < m_live.size() && m_live[i]) ++i;
    return static_cast<int>(i);
  }
  bool Live(int slot) const { return slot >= 0 && static_cast<std::size_t>(slot) < m_live.size() && m_live[slot]; }
  bool Delete(int slot) {
    if (!Live(slot)) return false;
    m_live[slot] = false;
    return true;
  }
  int Max() const { return m_max; }
  int Alive() const {
    int n = 0;
    for (bool b : m_live) n += b;
    return n;
  }

 private:
  std::vector<bool> m_live;
  int m_max = 0;
};

inline TMetafileWalk WalkWindowsMetafile(std::string_view bytes) {
  TMetafileWalk w;
  TLittleEndian in(bytes);
  if (!in.Has(0, 40)) return w.error = "short", w;
  if (in.U32(0) != 0x9AC6CDD7u) return w.error = "placeable key", w;
  std::uint32_t sum = 0;
  for (int i = 0; i < 10; ++i) sum ^= in.U16(2 * i);
  if (sum != in.U16(20)) return w.error = "checksum", w;
  if (in.U16(22) != 1 || in.U16(24) != 9 || in.U16(26) != 0x0300) return w.error = "header", w;
  if (std::uint64_t{in.U32(28)} * 2 != bytes.size() - 22) return w.error = "mtSize", w;
  w.declaredObjects = static_cast<int>(in.U16(32));
  const std::uint32_t maxRecord = in.U32(34);
  std::uint32_t seenMax = 0;
  TObjectTable table;
  int depth = 0;
  std::size_t at = 40;
  bool ended = false;
  while (at < bytes.size()) {
    if (ended) return w.error = "data after end", w;
    if (!in.Has(at, 6)) return w.error = "record header", w;
    const std::uint64_t words = in.U32(at);
    const std::uint32_t function = in.U16(at + 4);
    if (words < 3 || words * 2 > bytes.size() - at) return w.error = "record size", w;
    seenMax = std::max<std::uint32_t>(seenMax, static_cast<std::uint32_t>(words));
    const std::size_t params = at + 6;
    const std::size_t paramBytes = static_cast<std::size_t>(words * 2 - 6);
    auto need = [&](std::size_t n) { return paramBytes >= n; };
    switch (function) {
      case 0x0000: ended = true; if (words != 3) return w.error = "eof size", w; break;
      case 0x02FA: case 0x02FC:  // create pen, brush
        if (!need(function == 0x02FA ? 10 : 8)) return w.error = "create size", w;
        if (!table.Create(table.Lowest())) return w.error = "create", w;
        break;
      case 0x012D:
        if (!need(2) || !table.Live(static_cast<int>(in.U16(params)))) return w.error = "select dead", w;
        break;
      case 0x01F0:
        if (!need(2) || !table.Delete(static_cast<int>(in.U16(params)))) return w.error = "delete dead", w;
        break;
      case 0x001E: w.maxDepth = std::max(w.maxDepth, ++depth); break;
      case 0x0127:
        if (!need(2) || in.U16(params) != 0xFFFF || --depth < 0) return w.error = "restore", w;
        break;
      case 0x0324: case 0x0325: {  // polygon, polyline: count then points
        if (!need(2)) return w.error = "poly size", w;
        const std::uint32_t n = in.U16(params);
        if (n > 32767 || paramBytes != 2 + 4 * std::size_t{n}) return w.error = "poly count", w;
        break;
      }
      case 0x0538: {
        if (!need(2)) return w.error = "polypoly size", w;
        const std::uint32_t polys = in.U16(params);
        if (!need(2 + 2 * std::size_t{polys})) return w.error = "polypoly counts", w;
        std::size_t points = 0;
        for (std::uint32_t i = 0; i < polys; ++i) points += in.U16(params + 2 + 2 * i);
        if (paramBytes != 2 + 2 * std::size_t{polys} + 4 * points) return w.error = "polypoly points", w;
        break;
      }
      case 0x0F43: {  // stretch DIB: 22 bytes of fields, then the bitmap
        if (!need(22 + 40)) return w.error = "dib size", w;
        const std::size_t dib = params + 22;
        const std::uint32_t width = in.U32(dib + 4), height = in.U32(dib + 8), bits = in.U16(dib + 14);
        if (width > 32767 || height > 32767 || (bits != 1 && bits != 24)) return w.error = "dib header", w;
        const std::size_t row = bits == 1 ? (width + 31) / 32 * 4 : (width * 3 + 3) / 4 * 4;
        const std::size_t palette = bits == 1 ? 8 : 0;
        if (paramBytes != 22 + 40 + palette + row * height) return w.error = "dib bits", w;
        break;
      }
      default: break;
    }
    w.functions.push_back(function);
    ++w.records;
    at += static_cast<std::size_t>(words * 2);
  }
  if (!ended) return w.error = "no end record", w;
  if (seenMax != maxRecord) return w.error = "mtMaxRecord", w;
  if (table.Max() > w.declaredObjects) return w.error = "mtNoObjects", w;
  if (table.Alive() != 0) return w.error = "objects left alive", w;
  w.maxObjects = table.Max();
  w.ok = true;
  return w;
}

inline TMetafileWalk WalkEnhancedMetafile(std::string_view bytes) {
  TMetafileWalk w;
  TLittleEndian in(bytes);
  if (!in.Has(0, 108)) return w.error = "short", w;
  if (in.U32(0) != 1 || in.U32(4) != 108 || in.U32(40) != 0x464D4520u || in.U32(44) != 0x10000)
    return w.error = "header", w;
  if (in.U32(48) != bytes.size()) return w.error = "nBytes", w;
  const std::uint32_t declaredRecords = in.U32(52);
  w.declaredObjects = static_cast<int>(in.U16(56));
  TObjectTable table;
  int depth = 0;
  std::size_t at = 0;
  bool ended = false;
  while (at < bytes.size()) {
    if (ended) return w.error = "data after end", w;
    if (!in.Has(at, 8)) return w.error = "record header", w;
    const std::uint32_t type = in.U32(at), size = in.U32(at + 4);
    if (size < 8 || size % 4 || size > bytes.size() - at) return w.error = "record size", w;
    const std::size_t p = at + 8;
    auto need = [&](std::size_t n) { return size - 8 >= n; };
    auto handle = [&](std::size_t off) { return static_cast<int>(in.U32(p + off)); };
    switch (type) {
      case 14: ended = true; if (size != 20 || in.U32(p + 8) != 20) return w.error = "eof", w; break;
      case 38: case 39: case 95:
        if (!need(4) || handle(0) <= 0 || !table.Create(handle(0))) return w.error = "create", w;
        break;
      case 37:
        if (!need(4) || (!(in.U32(p) & 0x80000000u) && !table.Live(handle(0)))) return w.error = "select dead", w;
        break;
      case 40:
        if (!need(4) || !table.Delete(handle(0))) return w.error = "delete dead", w;
        break;
      case 33: w.maxDepth = std::max(w.maxDepth, ++depth); break;
      case 34:
        if (!need(4) || static_cast<std::int32_t>(in.U32(p)) != -1 || --depth < 0) return w.error = "restore", w;
        break;
      case 3: case 4: {
        if (!need(20)) return w.error = "poly size", w;
        if (size - 8 != 20 + 8 * std::uint64_t{in.U32(p + 16)}) return w.error = "poly count", w;
        break;
      }
      case 7: case 8: {
        if (!need(24)) return w.error = "polypoly size", w;
        const std::uint64_t polys = in.U32(p + 16), points = in.U32(p + 20);
        if (size - 8 != 24 + 4 * polys + 8 * points) return w.error = "polypoly points", w;
        std::uint64_t sum = 0;
        for (std::uint64_t i = 0; i < polys; ++i) sum += in.U32(p + 24 + 4 * i);
        if (sum != points) return w.error = "polypoly counts", w;
        break;
      }
      case 81: {
        if (!need(72)) return w.error = "dib size", w;
        const std::uint64_t offBmi = in.U32(p + 40), cbBmi = in.U32(p + 44);
        const std::uint64_t offBits = in.U32(p + 48), cbBits = in.U32(p + 52);
        if (offBmi + cbBmi > size || offBits + cbBits > size || offBits != offBmi + cbBmi ||
            offBits + cbBits != size)
          return w.error = "dib layout", w;
        break;
      }
      default: break;
    }
    w.functions.push_back(type);
    ++w.records;
    at += size;
  }
  if (!ended) return w.error = "no end record", w;
  if (w.records != declaredRecords) return w.error = "nRecords", w;
  if (table.Max() + 1 > w.declaredObjects) return w.error = "nHandles", w;
  if (table.Alive() != 0) return w.error = "objects left alive", w;
  w.maxObjects = table.Max();
  w.ok = true;
  return w;
}

// Input: a flag byte (page size, which of the walks), then a canvas program. Both forms of
// the recording must walk cleanly; raw inputs are also walked to exercise the walker.
inline void RunMetafileProgram(const std::uint8_t* data, std::size_t size) {
  using namespace kestrel;
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  WalkWindowsMetafile(raw);
  WalkEnhancedMetafile(raw);
  TCanvasProgram in(data, size);
  const std::uint8_t flags = in.Byte();
  static constexpr std::int64_t kSides[] = {64, 48, 40000, 1'000'000'000, 1, 30001, 816, 33000};
  TKestrelMetafile metafile;
  metafile.Reset(false, kSides[flags & 7], kSides[(flags >> 3) & 7]);
  {
    TMetafileCanvas canvas(metafile);
    std::vector<TClipHandle> handles;
    for (int ops = 0; ops < 1500 && !in.Done(); ++ops) {
      switch (in.Byte() % 27) {
        case 0: canvas.BeginPath(); break;
        case 1: { const double x = in.Coord(); canvas.MoveTo(x, in.Coord()); break; }
        case 2: case 3: { const double x = in.Coord(); canvas.LineTo(x, in.Coord()); break; }
        case 4: {
          double v[6];
          for (double& d : v) d = in.Coord();
          canvas.CurveTo(v[0], v[1], v[2], v[3], v[4], v[5]);
          break;
        }
        case 5: canvas.ClosePath(); break;
        case 6: canvas.StrokePath(); break;
        case 7: canvas.FillPath(); break;
        case 8: canvas.FillStrokePath(); break;
        case 9: {
          TCanvasBitmap bitmap;
          bitmap.Width = in.Byte() % 9;
          bitmap.Height = in.Byte() % 9;
          const std::size_t count = static_cast<std::size_t>(bitmap.Width) * bitmap.Height;
          const std::size_t have = in.Byte() % 2 ? count : count / 2;
          for (std::size_t i = 0; i < have; ++i) bitmap.Pixels.push_back(in.Word());
          if (in.Byte() % 2) {
            bitmap.ColorKey = TCanvasColorKey{{in.Byte(), in.Byte(), in.Byte()},
                                              {in.Byte(), in.Byte(), in.Byte()}};
          }
          double v[6];
          for (double& d : v) d = in.Coord();
          canvas.DrawBitmap(bitmap, v[0], v[1], v[2], v[3], v[4], v[5],
                            static_cast<TImageSampling>(in.Byte() % 3));
          break;
        }
        case 10: canvas.SetFillColor(in.Word()); break;
        case 11: canvas.SetStrokeColor(in.Word()); break;
        case 12: canvas.SetFillAlpha(in.Scalar()); break;
        case 13: canvas.SetStrokeAlpha(in.Scalar()); break;
        case 14: canvas.SetLineWidth(in.Byte() < 200 ? in.Scalar() * 8 : in.Coord()); break;
        case 15: canvas.SetLineCap(LineCapFrom(static_cast<std::int8_t>(in.Byte()))); break;
        case 16: canvas.SetLineJoin(LineJoinFrom(static_cast<std::int8_t>(in.Byte()))); break;
        case 17: canvas.SetMiterLimit(in.Byte() < 200 ? in.Scalar() * 20 : in.Coord()); break;
        case 18: {
          TGPDashArray dashes(in.Byte() % 9);
          for (float& d : dashes) d = static_cast<float>(in.Byte() < 220 ? in.Scalar() * 4 : in.Coord());
          canvas.SetDash(dashes, in.Scalar() * 10);
          break;
        }
        case 19: canvas.SetFillRule(in.Byte() % 4); break;
        case 20: canvas.SetClip(in.Byte() % 4); break;
        case 21: canvas.EndPath(); break;
        case 22: handles.push_back(canvas.SaveClip()); break;
        case 23:
          if (!handles.empty()) {
            canvas.RestoreClip(handles.back());
            handles.pop_back();
          }
          break;
        case 24: canvas.RestoreClip(in.Word() % 8); break;
        case 25: {
          // An upright rectangle: the Windows metafile clips to it by itself.
          const double x = in.Coord(), y = in.Coord(), w = in.Coord(), h = in.Coord();
          canvas.MoveTo(x, y);
          canvas.LineTo(x + w, y);
          canvas.LineTo(x + w, y + h);
          canvas.LineTo(x, y + h);
          canvas.ClosePath();
          break;
        }
        case 26: {
          // A regular polygon (a circle when fine), the usual clip the canvas cuts itself.
          const double cx = in.Coord(), cy = in.Coord(), r = in.Coord();
          const int n = 3 + in.Byte() % 64;
          for (int i = 0; i < n; ++i) {
            const double a = 6.283185307179586 * i / n;
            if (i == 0) canvas.MoveTo(cx + r * std::cos(a), cy + r * std::sin(a));
            else canvas.LineTo(cx + r * std::cos(a), cy + r * std::sin(a));
          }
          canvas.ClosePath();
          break;
        }
      }
    }
  }
  const TBytes wmf = WriteWindowsMetafile(metafile);
  if (!WalkWindowsMetafile(wmf).ok) __builtin_trap();
  const TBytes emf = WriteEnhancedMetafile(metafile);
  if (!WalkEnhancedMetafile(emf).ok) __builtin_trap();
}

}  // namespace fuzzharness
