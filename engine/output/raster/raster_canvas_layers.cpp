// The raster canvas's soft-mask layers: while a layer is open, every tile draws into a surface
// of its own, which is put down onto the tile below when the layer ends.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/output/raster/raster_canvas_impl.h"

namespace kestrel {

using namespace picasso;

namespace {

// Layers open at once (each holds a copy of the page); deeper soft masks are left out.
constexpr std::size_t kMaxLayers = 4;
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

}  // namespace

TPDFPicasso::Impl::~Impl() { DropLayers(); }

bool TPDFPicasso::Impl::BeginLayer(std::optional<TPackedColor> backdrop) {
  if (mode != TMode::Library || layers.size() >= kMaxLayers) return false;
  std::uint64_t pageBytes = 0;
  for (const TTile& t : tiles.Tiles())
    pageBytes += std::uint64_t(std::max(t.width, 0)) * std::uint64_t(std::max(t.height, 0)) * 4;
  if ((layers.size() + 1) * pageBytes > kMaxLayerBytes) return false;
  std::vector<TTile> fresh;
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
    if (backdrop) {
      cairo_set_source_rgb(tile.cr, PackedRed(*backdrop) / 255.0, PackedGreen(*backdrop) / 255.0,
                           PackedBlue(*backdrop) / 255.0);
      cairo_paint(tile.cr);
    }
    SetAntialias(tile.cr, PathAntialias());
    ReapplyClip(fresh.back());
  }
  if (!ok) {
    for (TTile& t : fresh) DestroyTile(t);
    DestroyMasks(pendingMask);
    return false;
  }
  TLayer layer;
  layer.below = tiles.Tiles();
  layer.mask = std::move(pendingMask);
  pendingMask.clear();
  layer.clipSaves = appliedClips.size();
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

void TPDFPicasso::Impl::EndLayer() {
  if (layers.empty()) return;
  std::vector<cairo_surface_t*> mask;
  std::vector<TTile> top = PopLayer(mask);
  auto& below = tiles.Tiles();
  for (std::size_t i = 0; i < below.size() && i < top.size(); ++i) {
    TTile& tile = below[i];
    cairo_surface_flush(top[i].surface);
    cairo_save(tile.cr);
    // What the layer holds was clipped as it was drawn.
    cairo_reset_clip(tile.cr);
    cairo_set_source_surface(tile.cr, top[i].surface, tile.x0, tile.y0);
    if (i < mask.size() && mask[i] && cairo_surface_status(mask[i]) == CAIRO_STATUS_SUCCESS) {
      cairo_mask_surface(tile.cr, mask[i], tile.x0, tile.y0);
    } else {
      cairo_paint(tile.cr);
    }
    cairo_restore(tile.cr);
    Check(tile);
  }
  for (TTile& t : top) DestroyTile(t);
  DestroyMasks(mask);
}

void TPDFPicasso::Impl::DropLayers() {
  while (!layers.empty()) {
    std::vector<cairo_surface_t*> mask;
    std::vector<TTile> top = PopLayer(mask);
    for (TTile& t : top) DestroyTile(t);
    DestroyMasks(mask);
  }
  DestroyMasks(pendingMask);
}

}  // namespace kestrel
