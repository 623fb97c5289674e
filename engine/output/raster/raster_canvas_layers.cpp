// The raster canvas's soft-mask layers: while a layer is open, every tile draws into a surface
// of its own, which is put down onto the tile below when the layer ends.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/output/raster/raster_canvas_impl.h"

namespace kestrel {

using namespace picasso;

namespace {

// Layers open at once (each holds a copy of the page); deeper soft masks are left out.
constexpr std::size_t kMaxLayers = 8;
// Bytes all open layers may hold together: on the largest pages fewer layers fit, and a soft
// mask that does not fit is left out rather than risking the memory of the whole run.
constexpr std::uint64_t kMaxLayerBytes = std::uint64_t{1} << 30;

void DestroyTile(TTile& tile) {
  if (tile.cr) cairo_destroy(tile.cr);
  if (tile.surface) cairo_surface_destroy(tile.surface);
  tile.cr = nullptr;
  tile.surface = nullptr;
}

void DestroyMasks(std::vector<cairo_surface_t*>& masks) {
  for (cairo_surface_t* m : masks)
    if (m) cairo_surface_destroy(m);
  masks.clear();
}

// Luminosity weights of sRGB in 1/256: 0.30, 0.59, 0.11.
std::uint8_t Luminosity(std::uint32_t argb) {
  const std::uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
  return static_cast<std::uint8_t>((r * 77 + g * 151 + b * 28) >> 8);
}

// Multiplies an A8 mask by a constant opacity.
void ScaleMask(cairo_surface_t* mask, double alpha) {
  cairo_surface_flush(mask);
  unsigned char* data = cairo_image_surface_get_data(mask);
  if (!data) return;
  const int stride = cairo_image_surface_get_stride(mask);
  const int width = cairo_image_surface_get_width(mask);
  const int height = cairo_image_surface_get_height(mask);
  const auto scale = static_cast<std::uint32_t>(std::lround(alpha * 256));
  for (int y = 0; y < height; ++y) {
    unsigned char* row = data + std::size_t(y) * stride;
    for (int x = 0; x < width; ++x) row[x] = static_cast<unsigned char>((row[x] * scale) >> 8);
  }
  cairo_surface_mark_dirty(mask);
}

// A non-isolated group's own colour and opacity, computed in place in `group`, which holds the
// group drawn over its backdrop (`below`); `shape` is the group's opacity drawn alone. The
// backdrop's share is taken out again, so that the group can be put down with its blend mode:
// C = Cn + (Cn - C0) (a0 / ag - a0), premultiplied by ag.
void RemoveBackdrop(cairo_surface_t* group, cairo_surface_t* below, cairo_surface_t* shape) {
  cairo_surface_flush(group);
  cairo_surface_flush(below);
  cairo_surface_flush(shape);
  unsigned char* g = cairo_image_surface_get_data(group);
  const unsigned char* b = cairo_image_surface_get_data(below);
  const unsigned char* s = cairo_image_surface_get_data(shape);
  const int width = cairo_image_surface_get_width(group);
  const int height = cairo_image_surface_get_height(group);
  if (!g || !b || !s || cairo_image_surface_get_width(below) < width ||
      cairo_image_surface_get_height(below) < height || cairo_image_surface_get_width(shape) < width ||
      cairo_image_surface_get_height(shape) < height) {
    return;
  }
  // The page's own tiles have no alpha: their backdrop is opaque.
  const bool belowHasAlpha = cairo_image_surface_get_format(below) == CAIRO_FORMAT_ARGB32;
  const int gStride = cairo_image_surface_get_stride(group);
  const int bStride = cairo_image_surface_get_stride(below);
  const int sStride = cairo_image_surface_get_stride(shape);
  for (int y = 0; y < height; ++y) {
    auto* gRow = reinterpret_cast<std::uint32_t*>(g + std::size_t(y) * gStride);
    const auto* bRow = reinterpret_cast<const std::uint32_t*>(b + std::size_t(y) * bStride);
    const unsigned char* sRow = s + std::size_t(y) * sStride;
    for (int x = 0; x < width; ++x) {
      const double ag = sRow[x] / 255.0;
      if (sRow[x] == 0) {
        gRow[x] = 0;
        continue;
      }
      const std::uint32_t n = gRow[x], b0 = bRow[x];
      const double an = (n >> 24) / 255.0;
      const double a0 = belowHasAlpha ? (b0 >> 24) / 255.0 : 1.0;
      const double k = a0 / ag - a0;
      std::uint32_t out = std::uint32_t(sRow[x]) << 24;
      for (int shift = 0; shift < 24; shift += 8) {
        const double cn = an > 0 ? ((n >> shift) & 0xFF) / 255.0 / an : 0;
        const double c0 = a0 > 0 ? ((b0 >> shift) & 0xFF) / 255.0 / a0 : 0;
        const double c = std::clamp(cn + (cn - c0) * k, 0.0, 1.0);
        out |= static_cast<std::uint32_t>(std::lround(c * ag * 255)) << shift;
      }
      gRow[x] = out;
    }
  }
  cairo_surface_mark_dirty(group);
}

}  // namespace

TPDFPicasso::Impl::~Impl() { DropLayers(); }

bool TPDFPicasso::Impl::BeginLayer(TLayerStart start, TPackedColor colour, bool knockout) {
  if (mode != TMode::Library || layers.size() >= kMaxLayers) return false;
  // A group inside a knockout group starts transparent, so that what it holds is its shape.
  if (start == TLayerStart::CopyBelow && !layers.empty() && layers.back().knockout)
    start = TLayerStart::Transparent;
  std::uint64_t pageBytes = 0;
  for (const TTile& t : tiles.Tiles())
    pageBytes += std::uint64_t(std::max(t.width, 0)) * std::uint64_t(std::max(t.height, 0)) * 4;
  std::size_t copies = layers.size() + 1;
  for (const TLayer& l : layers) copies += l.knockoutBase.empty() ? 0 : 1;
  const bool keepBase = knockout && start == TLayerStart::CopyBelow;
  if ((copies + (keepBase ? 1 : 0)) * pageBytes > kMaxLayerBytes) return false;
  std::vector<TTile> fresh;
  std::vector<cairo_surface_t*> base;
  fresh.reserve(tiles.Tiles().size());
  bool ok = true;
  for (const TTile& below : tiles.Tiles()) {
    TTile tile = below;
    tile.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, below.width, below.height);
    tile.cr = cairo_create(tile.surface);
    fresh.push_back(tile);
    if (cairo_status(tile.cr) != CAIRO_STATUS_SUCCESS) {
      ok = false;
      break;
    }
    cairo_translate(tile.cr, -tile.x0, -tile.y0);
    if (start == TLayerStart::Colour) {
      cairo_set_source_rgb(tile.cr, PackedRed(colour) / 255.0, PackedGreen(colour) / 255.0,
                           PackedBlue(colour) / 255.0);
      cairo_paint(tile.cr);
    } else if (start == TLayerStart::CopyBelow) {
      cairo_surface_flush(below.surface);
      cairo_set_operator(tile.cr, CAIRO_OPERATOR_SOURCE);
      cairo_set_source_surface(tile.cr, below.surface, below.x0, below.y0);
      cairo_paint(tile.cr);
      cairo_set_operator(tile.cr, CAIRO_OPERATOR_OVER);
    }
    if (keepBase) {
      cairo_surface_flush(tile.surface);
      cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, tile.width, tile.height);
      cairo_t* c = cairo_create(copy);
      cairo_set_operator(c, CAIRO_OPERATOR_SOURCE);
      cairo_set_source_surface(c, tile.surface, 0, 0);
      cairo_paint(c);
      ok = cairo_status(c) == CAIRO_STATUS_SUCCESS;
      cairo_destroy(c);
      base.push_back(copy);
      if (!ok) break;
    }
    cairo_set_source_rgb(tile.cr, 0, 0, 0);
    SetAntialias(tile.cr, PathAntialias());
    ReapplyClip(fresh.back());
  }
  if (!ok) {
    for (TTile& t : fresh) DestroyTile(t);
    DestroyMasks(base);
    DestroyMasks(pendingMask);
    return false;
  }
  TLayer layer;
  layer.below = tiles.Tiles();
  layer.mask = std::move(pendingMask);
  pendingMask.clear();
  layer.clipSaves = appliedClips.size();
  layer.copiesBelow = start == TLayerStart::CopyBelow;
  layer.knockout = knockout;
  layer.knockoutBase = std::move(base);
  // A shape drawn just before serves a group that starts with what lies below.
  if (layer.copiesBelow) layer.shape = std::move(pendingShape);
  DestroyMasks(pendingShape);
  layers.push_back(std::move(layer));
  tiles.Tiles() = std::move(fresh);
  return true;
}

std::vector<TTile> TPDFPicasso::Impl::PopLayer(std::vector<cairo_surface_t*>& mask) {
  TLayer layer = std::move(layers.back());
  layers.pop_back();
  std::vector<TTile> top = std::move(tiles.Tiles());
  // The tiles below still carry the clip levels of the moment the layer began: bring them to
  // the clip in force now.
  for (TTile& tile : layer.below) {
    for (std::size_t i = 0; i < layer.clipSaves; ++i) cairo_restore(tile.cr);
    ReapplyClip(tile);
  }
  tiles.Tiles() = std::move(layer.below);
  mask = std::move(layer.mask);
  DestroyMasks(layer.knockoutBase);
  DestroyMasks(layer.shape);
  return top;
}

void TPDFPicasso::Impl::EndLayerAsMask(bool luminosity, const std::vector<std::uint8_t>& transfer) {
  if (layers.empty()) return;
  std::vector<cairo_surface_t*> unused;
  std::vector<TTile> top = PopLayer(unused);
  DestroyMasks(unused);
  DestroyMasks(pendingMask);
  const bool table = transfer.size() == 256;
  for (TTile& tile : top) {
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, tile.width, tile.height);
    if (cairo_surface_status(mask) == CAIRO_STATUS_SUCCESS) {
      cairo_surface_flush(tile.surface);
      const unsigned char* src = cairo_image_surface_get_data(tile.surface);
      const int srcStride = cairo_image_surface_get_stride(tile.surface);
      unsigned char* dst = cairo_image_surface_get_data(mask);
      const int dstStride = cairo_image_surface_get_stride(mask);
      for (int y = 0; y < tile.height && src && dst; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(src + std::size_t(y) * srcStride);
        unsigned char* out = dst + std::size_t(y) * dstStride;
        for (int x = 0; x < tile.width; ++x) {
          // Premultiplied: over an opaque backdrop the colour is the colour; without one, a
          // luminosity mask reads the layer as if over black.
          const std::uint8_t v = luminosity ? Luminosity(row[x]) : std::uint8_t(row[x] >> 24);
          out[x] = table ? transfer[v] : v;
        }
      }
      cairo_surface_mark_dirty(mask);
    }
    pendingMask.push_back(mask);
    DestroyTile(tile);
  }
}

void TPDFPicasso::Impl::EndLayerAsShape() {
  if (layers.empty()) return;
  // The layer's own soft mask (if any) waits for the second drawing of the group.
  std::vector<cairo_surface_t*> groupMask = std::move(layers.back().mask);
  layers.back().mask.clear();
  EndLayerAsMask(false, {});
  DestroyMasks(pendingShape);
  pendingShape = std::move(pendingMask);
  pendingMask = std::move(groupMask);
}

void TPDFPicasso::Impl::EndLayer() { EndGroup(1.0, TBlendMode::Normal); }

void TPDFPicasso::Impl::EndGroup(double alpha, TBlendMode blend) {
  if (layers.empty()) return;
  // A layer that started as a copy of what lies below already holds the blend with it: it
  // replaces the pixels below, in proportion to its opacity and mask. With the group's shape
  // drawn before, the backdrop is taken out of it and it is put down with its blend mode.
  std::vector<cairo_surface_t*> shape = std::move(layers.back().shape);
  layers.back().shape.clear();
  const bool copiesBelow = layers.back().copiesBelow && shape.empty();
  const cairo_operator_t op = copiesBelow ? CAIRO_OPERATOR_SOURCE : BlendOperator(blend);
  alpha = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0;
  std::vector<cairo_surface_t*> mask;
  std::vector<TTile> top = PopLayer(mask);
  // Inside a knockout group the layer is one element: its shape is what it holds.
  const bool knockoutBelow = !copiesBelow && !layers.empty() && layers.back().knockout;
  auto& below = tiles.Tiles();
  for (std::size_t i = 0; i < below.size() && i < top.size(); ++i) {
    TTile& tile = below[i];
    if (i < shape.size() && shape[i] && cairo_surface_status(shape[i]) == CAIRO_STATUS_SUCCESS)
      RemoveBackdrop(top[i].surface, tile.surface, shape[i]);
    cairo_surface_flush(top[i].surface);
    cairo_surface_t* tileMask =
        i < mask.size() && mask[i] && cairo_surface_status(mask[i]) == CAIRO_STATUS_SUCCESS
            ? mask[i]
            : nullptr;
    cairo_save(tile.cr);
    // What the layer holds was clipped as it was drawn.
    cairo_reset_clip(tile.cr);
    if (knockoutBelow) {
      const TBox whole{double(tile.x0), double(tile.y0), double(tile.x0 + tile.width),
                       double(tile.y0 + tile.height)};
      PaintKnockout(tile, whole, alpha, op, [&](cairo_t* cr, double) {
        cairo_set_source_surface(cr, top[i].surface, tile.x0, tile.y0);
        if (tileMask) {
          cairo_mask_surface(cr, tileMask, tile.x0, tile.y0);
        } else {
          cairo_paint(cr);
        }
      });
    } else {
      cairo_set_operator(tile.cr, op);
      cairo_set_source_surface(tile.cr, top[i].surface, tile.x0, tile.y0);
      if (tileMask) {
        if (alpha < 1) ScaleMask(tileMask, alpha);
        cairo_mask_surface(tile.cr, tileMask, tile.x0, tile.y0);
      } else {
        cairo_paint_with_alpha(tile.cr, alpha);
      }
    }
    cairo_restore(tile.cr);
    Check(tile);
  }
  for (TTile& t : top) DestroyTile(t);
  DestroyMasks(mask);
  DestroyMasks(shape);
}

void TPDFPicasso::Impl::PaintKnockout(TTile& tile, const TBox& box, double alpha,
                                      cairo_operator_t op,
                                      const std::function<void(cairo_t*, double)>& draw) {
  const TLayer& layer = layers.back();
  const auto index = static_cast<std::size_t>(&tile - tiles.Tiles().data());
  cairo_surface_t* base = index < layer.knockoutBase.size() ? layer.knockoutBase[index] : nullptr;
  alpha = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0;
  cairo_t* cr = tile.cr;
  cairo_save(cr);
  // The element's shape alone (at full opacity), on a surface no larger than it.
  cairo_rectangle(cr, std::floor(box.minX), std::floor(box.minY),
                  std::ceil(box.maxX) - std::floor(box.minX),
                  std::ceil(box.maxY) - std::floor(box.minY));
  cairo_clip(cr);
  cairo_push_group(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  draw(cr, 1.0);
  cairo_pattern_t* shape = cairo_pop_group(cr);
  if (alphaIsShape && op == CAIRO_OPERATOR_OVER) {
    // Alpha is shape: the element takes that fraction s of each pixel (its coverage times
    // the opacity), the rest keeps what the elements before it drew: d = (1 - s) d + s e.
    cairo_set_source(cr, shape);
    cairo_set_operator(cr, CAIRO_OPERATOR_DEST_OUT);
    cairo_paint_with_alpha(cr, alpha);
    cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
    cairo_paint_with_alpha(cr, alpha);
    cairo_pattern_destroy(shape);
    cairo_restore(cr);
    return;
  }
  // Where it lies, what the elements before it drew gives way to the group's backdrop.
  if (base) {
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, base, tile.x0, tile.y0);
  } else {
    cairo_set_operator(cr, CAIRO_OPERATOR_DEST_OUT);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
  }
  cairo_mask(cr, shape);
  cairo_set_operator(cr, op);
  cairo_set_source(cr, shape);
  cairo_paint_with_alpha(cr, alpha);
  cairo_pattern_destroy(shape);
  cairo_restore(cr);
}

void TPDFPicasso::Impl::DropLayers() {
  while (!layers.empty()) {
    std::vector<cairo_surface_t*> mask;
    std::vector<TTile> top = PopLayer(mask);
    for (TTile& t : top) DestroyTile(t);
    DestroyMasks(mask);
  }
  DestroyMasks(pendingMask);
  DestroyMasks(pendingShape);
}

}  // namespace kestrel
