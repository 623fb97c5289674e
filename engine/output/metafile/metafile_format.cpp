#include "engine/output/metafile/metafile_format.h"

#include <algorithm>
#include <cmath>

namespace kestrel::metafile {

void PutU16(TBytes& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void PutI16(TBytes& out, std::int16_t v) { PutU16(out, static_cast<std::uint16_t>(v)); }

void PutU32(TBytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutI32(TBytes& out, std::int32_t v) { PutU32(out, static_cast<std::uint32_t>(v)); }

void PatchU32(TBytes& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::int32_t TCoordinateMap::Map(double v) const {
  const double scaled = std::nearbyint(v * UnitsPerPixel);
  if (!(scaled == scaled)) return 0;
  return static_cast<std::int32_t>(std::clamp(scaled, -double(Limit), double(Limit)));
}

std::int32_t MappedExtent(const TCoordinateMap& map, std::int64_t pixels) {
  return std::max<std::int32_t>(1, map.Map(static_cast<double>(pixels)));
}

std::vector<TIntPoint> MapFigure(const TKestrelMetafile& metafile, const TMetafileFigure& figure,
                                 const TCoordinateMap& map, std::size_t maxPoints) {
  std::vector<TIntPoint> out;
  const auto& points = metafile.Points();
  if (figure.First > points.size() || figure.Count > points.size() - figure.First) return out;
  out.reserve(figure.Count);
  for (std::uint32_t i = 0; i < figure.Count; ++i) {
    const TMetafilePoint& p = points[figure.First + i];
    const TIntPoint q{map.Map(p.x), map.Map(p.y)};
    if (out.empty() || !(out.back() == q)) out.push_back(q);
  }
  if (figure.Closed && out.size() > 1 && out.front() == out.back()) out.pop_back();
  if (maxPoints >= 2 && out.size() > maxPoints) {
    // Thin evenly, keeping the first and last points.
    std::vector<TIntPoint> thin;
    thin.reserve(maxPoints);
    const double step = double(out.size() - 1) / double(maxPoints - 1);
    for (std::size_t i = 0; i < maxPoints; ++i) {
      const auto k = std::min(out.size() - 1, static_cast<std::size_t>(std::llround(i * step)));
      thin.push_back(out[k]);
    }
    out.swap(thin);
  }
  return out;
}

bool AsRectangle(const std::vector<std::vector<TIntPoint>>& figures, TIntPoint& topLeft,
                 TIntPoint& bottomRight) {
  if (figures.size() != 1 || figures[0].size() != 4) return false;
  const auto& f = figures[0];
  // Either the edges run horizontal, vertical, horizontal, vertical or the other way round.
  const bool hv = f[0].y == f[1].y && f[1].x == f[2].x && f[2].y == f[3].y && f[3].x == f[0].x;
  const bool vh = f[0].x == f[1].x && f[1].y == f[2].y && f[2].x == f[3].x && f[3].y == f[0].y;
  if (!hv && !vh) return false;
  topLeft = {std::min({f[0].x, f[1].x, f[2].x}), std::min({f[0].y, f[1].y, f[2].y})};
  bottomRight = {std::max({f[0].x, f[1].x, f[2].x}), std::max({f[0].y, f[1].y, f[2].y})};
  return true;
}

namespace {

void PutInfoHeader(TBytes& out, int width, int height, int bits, std::size_t imageSize,
                   int colours) {
  PutU32(out, kDibHeaderSize);
  PutI32(out, width);
  PutI32(out, height);  // positive: rows bottom-up
  PutU16(out, 1);
  PutU16(out, static_cast<std::uint16_t>(bits));
  PutU32(out, 0);  // BI_RGB
  PutU32(out, static_cast<std::uint32_t>(imageSize));
  PutI32(out, 0);
  PutI32(out, 0);
  PutU32(out, static_cast<std::uint32_t>(colours));
  PutU32(out, 0);
}

bool Opaque(const TMetafileImage& image, std::size_t i) {
  return image.Mask.empty() || (i < image.Mask.size() && image.Mask[i] != 0);
}

}  // namespace

TBytes ColourDib(const TMetafileImage& image) {
  const auto w = static_cast<std::size_t>(image.Width), h = static_cast<std::size_t>(image.Height);
  const std::size_t row = (w * 3 + 3) / 4 * 4;
  TBytes out;
  out.reserve(kDibHeaderSize + row * h);
  PutInfoHeader(out, image.Width, image.Height, 24, row * h, 0);
  for (std::size_t y = h; y-- > 0;) {
    const std::size_t start = out.size();
    for (std::size_t x = 0; x < w; ++x) {
      const std::size_t i = y * w + x;
      if (Opaque(image, i) && 3 * i + 2 < image.Bgr.size()) {
        out.append(reinterpret_cast<const char*>(&image.Bgr[3 * i]), 3);
      } else {
        out.append(3, '\0');
      }
    }
    out.append(row - (out.size() - start), '\0');
  }
  return out;
}

TBytes MaskDib(const TMetafileImage& image) {
  const auto w = static_cast<std::size_t>(image.Width), h = static_cast<std::size_t>(image.Height);
  const std::size_t row = (w + 31) / 32 * 4;
  TBytes out;
  out.reserve(kDibHeaderSize + 8 + row * h);
  PutInfoHeader(out, image.Width, image.Height, 1, row * h, 2);
  PutU32(out, 0x000000);  // index 0: black
  PutU32(out, 0xFFFFFF);  // index 1: white
  for (std::size_t y = h; y-- > 0;) {
    std::string bits(row, '\0');
    for (std::size_t x = 0; x < w; ++x) {
      if (!Opaque(image, y * w + x)) bits[x / 8] = static_cast<char>(bits[x / 8] | (0x80 >> (x % 8)));
    }
    out += bits;
  }
  return out;
}

// ---- drawing objects ----

int TGdiObjects::NewSlot() {
  std::size_t i = 0;
  while (i < m_objects.size() && m_objects[i].alive) ++i;
  if (i == m_objects.size()) m_objects.emplace_back();
  m_objects[i] = TObject{};
  m_objects[i].alive = true;
  m_maxSlots = std::max(m_maxSlots, Alive());
  return static_cast<int>(i);
}

int TGdiObjects::Alive() const {
  return static_cast<int>(
      std::count_if(m_objects.begin(), m_objects.end(), [](const TObject& o) { return o.alive; }));
}

void TGdiObjects::Release(int slot) {
  if (slot < 0) return;
  TObject& o = m_objects[slot];
  if (!o.alive || o.pins > 0 || slot == m_state.pen || slot == m_state.brush) return;
  m_emit.Delete(slot);
  o.alive = false;
}

void TGdiObjects::Collect() {
  for (std::size_t i = 0; i < m_objects.size(); ++i) Release(static_cast<int>(i));
}

TPenSpec StrokePen(const TMetafileRecord& record, const TCoordinateMap& map) {
  TPenSpec pen;
  pen.Null = false;
  pen.Color = record.Pen.Color;
  pen.Width = std::max(1, map.Map(record.Pen.Width));
  pen.Cap = record.Pen.Cap;
  pen.Join = record.Pen.Join;
  return pen;
}

void TGdiObjects::UsePen(const TPenSpec& pen) {
  if (m_state.pen >= 0 && m_objects[m_state.pen].pen == pen) return;
  const int old = m_state.pen;
  int slot = -1;
  for (std::size_t i = 0; i < m_objects.size(); ++i) {
    const TObject& o = m_objects[i];
    if (o.alive && o.isPen && o.pen == pen) slot = static_cast<int>(i);
  }
  if (slot < 0) {
    slot = NewSlot();
    m_objects[slot].isPen = true;
    m_objects[slot].pen = pen;
    m_emit.CreatePen(slot, pen);
  }
  m_emit.Select(slot);
  m_state.pen = slot;
  Release(old);
}

void TGdiObjects::UseBrush(const TBrushSpec& brush) {
  if (m_state.brush >= 0 && m_objects[m_state.brush].brush == brush) return;
  const int old = m_state.brush;
  int slot = -1;
  for (std::size_t i = 0; i < m_objects.size(); ++i) {
    const TObject& o = m_objects[i];
    if (o.alive && !o.isPen && o.brush == brush) slot = static_cast<int>(i);
  }
  if (slot < 0) {
    slot = NewSlot();
    m_objects[slot].brush = brush;
    m_emit.CreateBrush(slot, brush);
  }
  m_emit.Select(slot);
  m_state.brush = slot;
  Release(old);
}

void TGdiObjects::UseFillMode(int mode) {
  if (m_state.fillMode == mode) return;
  m_emit.SetFillMode(mode);
  m_state.fillMode = mode;
}

void TGdiObjects::UseStretchMode(int mode) {
  if (m_state.stretchMode == mode) return;
  m_emit.SetStretchMode(mode);
  m_state.stretchMode = mode;
}

void TGdiObjects::Save() {
  m_emit.SaveDC();
  if (m_state.pen >= 0) ++m_objects[m_state.pen].pins;
  if (m_state.brush >= 0) ++m_objects[m_state.brush].pins;
  m_saved.push_back(m_state);
}

bool TGdiObjects::Restore() {
  if (m_saved.empty()) return false;
  m_emit.RestoreDC();
  m_state = m_saved.back();
  m_saved.pop_back();
  if (m_state.pen >= 0) --m_objects[m_state.pen].pins;
  if (m_state.brush >= 0) --m_objects[m_state.brush].pins;
  // Objects made while the state was saved and no longer selected anywhere go now.
  Collect();
  return true;
}

void TGdiObjects::Finish() {
  while (Restore()) {
  }
  m_state = TState{};
  Collect();
}

}  // namespace kestrel::metafile
