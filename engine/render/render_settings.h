#pragma once
namespace kestrel {

// Settings of the raster canvas, owned by the engine object and copied into every render.
struct TGDIPlusSettings {
  bool AntiAlias = true;
  bool UseLibrary = true;
  bool SmoothImages = false;
  // Plainly filled glyphs are drawn from coverage pictures kept per glyph, size and sub-pixel
  // position; off, every glyph outline is filled again.
  bool CacheGlyphs = true;
};

}  // namespace kestrel
