#include "engine/output/raster/raster_canvas_backend.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

namespace kestrel::picasso {

bool ValidPixelBuffer(const TPixelBuffer& t) {
  if (t.Data == nullptr || t.Width <= 0 || t.Height <= 0 || t.Stride <= 0) return false;
  if (t.Stride % 4 != 0) return false;
  if (reinterpret_cast<std::uintptr_t>(t.Data) % 4 != 0) return false;
  const auto width = static_cast<std::uint64_t>(t.Width);
  const auto height = static_cast<std::uint64_t>(t.Height);
  const auto stride = static_cast<std::uint64_t>(t.Stride);
  if (stride < width * 4) return false;
  // Both factors are below 2^31, so the product cannot overflow 64 bits.
  const std::uint64_t needed = (height - 1) * stride + width * 4;
  return needed <= t.Size;
}

TTileSet::~TTileSet() { Destroy(); }

void TTileSet::Destroy() {
  for (TTile& tile : m_tiles) {
    if (tile.cr) cairo_destroy(tile.cr);
    if (tile.surface) cairo_surface_destroy(tile.surface);
  }
  m_tiles.clear();
  m_width = m_height = 0;
}

bool TTileSet::Create(const TPixelBuffer& target, int maxTile, bool antialias) {
  Destroy();
  if (!ValidPixelBuffer(target)) return false;
  maxTile = std::clamp(maxTile, 1, kLibraryTileLimit);
  for (int y0 = 0; y0 < target.Height; y0 += maxTile) {
    for (int x0 = 0; x0 < target.Width; x0 += maxTile) {
      TTile tile;
      tile.x0 = x0;
      tile.y0 = y0;
      tile.width = std::min(maxTile, target.Width - x0);
      tile.height = std::min(maxTile, target.Height - y0);
      unsigned char* origin = target.Data + static_cast<std::size_t>(y0) * target.Stride +
                              static_cast<std::size_t>(x0) * 4;
      tile.surface = cairo_image_surface_create_for_data(origin, CAIRO_FORMAT_RGB24, tile.width,
                                                         tile.height, target.Stride);
      if (cairo_surface_status(tile.surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(tile.surface);
        Destroy();
        return false;
      }
      tile.cr = cairo_create(tile.surface);
      m_tiles.push_back(tile);
      if (cairo_status(tile.cr) != CAIRO_STATUS_SUCCESS) {
        Destroy();
        return false;
      }
      cairo_translate(tile.cr, -x0, -y0);
      SetAntialias(tile.cr, antialias);
    }
  }
  m_width = target.Width;
  m_height = target.Height;
  return true;
}

void TTileSet::Reset(TTile& tile, bool antialias) {
  cairo_destroy(tile.cr);
  tile.cr = cairo_create(tile.surface);
  cairo_translate(tile.cr, -tile.x0, -tile.y0);
  SetAntialias(tile.cr, antialias);
}

void EmitOps(cairo_t* cr, const std::vector<TPathOp>& ops) {
  cairo_new_path(cr);
  for (const TPathOp& op : ops) {
    switch (op.kind) {
      case TPathOpKind::Move: cairo_move_to(cr, op.p[0].x, op.p[0].y); break;
      case TPathOpKind::Line: cairo_line_to(cr, op.p[0].x, op.p[0].y); break;
      case TPathOpKind::Curve:
        cairo_curve_to(cr, op.p[0].x, op.p[0].y, op.p[1].x, op.p[1].y, op.p[2].x, op.p[2].y);
        break;
      case TPathOpKind::Close: cairo_close_path(cr); break;
    }
  }
}

void EmitClipOps(cairo_t* cr, const std::vector<TPathOp>& ops) {
  EmitOps(cr, ops);
  std::size_t lines = 0, subpaths = 0;
  TPDFPoint last{}, start{};
  for (const TPathOp& op : ops) {
    if (op.kind == TPathOpKind::Curve) return;  // cairo keeps curved clips as paths
    if (op.kind == TPathOpKind::Move) {
      ++subpaths;
      start = last = op.p[0];
    } else if (op.kind == TPathOpKind::Line) {
      if (op.p[0].x != last.x && op.p[0].y != last.y) return;  // a diagonal: not boxes
      last = op.p[0];
      ++lines;
    } else {
      last = start;
    }
  }
  if (subpaths <= 1 && lines <= 4) return;  // a single rectangle is handled correctly
  const TPDFPoint p = ops.front().p[0];
  cairo_move_to(cr, p.x, p.y);
  cairo_line_to(cr, p.x + 1.0 / 256, p.y + 1.0 / 256);  // one unit of cairo's fixed point
  cairo_close_path(cr);
}

void SetAntialias(cairo_t* cr, bool on) {
  cairo_set_antialias(cr, on ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void SetSourceColor(cairo_t* cr, TPackedColor color, double alpha) {
  const std::uint32_t argb = PackedToARGB(color, alpha);
  cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                        (argb & 0xFF) / 255.0, (argb >> 24) / 255.0);
}

bool TouchesTile(const TTile& tile, const TBox& box) {
  return box.maxX >= tile.x0 && box.minX <= tile.x0 + tile.width && box.maxY >= tile.y0 &&
         box.minY <= tile.y0 + tile.height;
}

cairo_operator_t BlendOperator(TBlendMode mode) {
  static constexpr cairo_operator_t kOperators[] = {
      CAIRO_OPERATOR_OVER,        CAIRO_OPERATOR_MULTIPLY,       CAIRO_OPERATOR_SCREEN,
      CAIRO_OPERATOR_OVERLAY,     CAIRO_OPERATOR_DARKEN,         CAIRO_OPERATOR_LIGHTEN,
      CAIRO_OPERATOR_COLOR_DODGE, CAIRO_OPERATOR_COLOR_BURN,     CAIRO_OPERATOR_HARD_LIGHT,
      CAIRO_OPERATOR_SOFT_LIGHT,  CAIRO_OPERATOR_DIFFERENCE,     CAIRO_OPERATOR_EXCLUSION,
      CAIRO_OPERATOR_HSL_HUE,     CAIRO_OPERATOR_HSL_SATURATION, CAIRO_OPERATOR_HSL_COLOR,
      CAIRO_OPERATOR_HSL_LUMINOSITY};
  const auto i = static_cast<std::size_t>(mode);
  return i < std::size(kOperators) ? kOperators[i] : CAIRO_OPERATOR_OVER;
}

}  // namespace kestrel::picasso
