#pragma once
namespace kestrel {

// Settings of the raster canvas, owned by the engine object and copied into every render.
struct TGDIPlusSettings {
  bool AntiAlias = true;
  bool UseLibrary = true;
  bool SmoothImages = false;
};

}  // namespace kestrel
