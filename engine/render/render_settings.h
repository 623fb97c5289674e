#pragma once
#include <string>

namespace kestrel {

// Settings of the raster canvas, owned by the engine object and copied into every render.
struct TGDIPlusSettings {
  std::string LibraryPath = "cairo";
  bool AntiAlias = true;
  bool UseLibrary = true;
  bool Unread = true;
  bool SmoothImages = false;
};

}  // namespace kestrel
