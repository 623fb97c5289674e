#pragma once
#include <cstdint>

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

// The page box a picture shows. Bleed, trim and art boxes default to the crop box, and every
// box is clipped to the media box.
enum class TPageBox : std::uint8_t { Media, Crop, Bleed, Trim, Art };

// How a page is framed and what of it is drawn, beside the resolution.
struct TPageView {
  TPageBox Box = TPageBox::Crop;
  // The picture fits inside this many pixels, keeping the page's shape: the resolution is
  // chosen to fit (0 leaves that side unbounded; both 0: the resolution given decides).
  int FitWidth = 0;
  int FitHeight = 0;
  // No annotation is drawn, whether it brings its own appearance or not.
  bool HideAnnotations = false;
};

}  // namespace kestrel
