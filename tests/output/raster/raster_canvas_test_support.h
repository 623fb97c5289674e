#pragma once
// Small rasters with a raster canvas attached, and pixel helpers for the canvas tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <set>

#include "engine/graphics/raster_image.h"
#include "engine/output/raster/raster_canvas.h"

namespace kestrel::testing {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kRed = 0xFF0000;    // as read from the raster: 0x00RRGGBB
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kBlue = 0x0000FF;

// Packed canvas colours (0x00BBGGRR).
constexpr TPackedColor kPackedRed = 0x0000FF;
constexpr TPackedColor kPackedGreen = 0x00FF00;
constexpr TPackedColor kPackedBlue = 0xFF0000;

struct TCanvasFixture {
  TRasterImage raster;
  std::unique_ptr<TPDFPicasso> canvas;

  std::uint32_t At(int x, int y) const { return raster.Pixel(x, y) & 0xFFFFFF; }
};

inline TGDIPlusSettings Settings(bool antiAlias, bool smoothImages = false) {
  TGDIPlusSettings s;
  s.AntiAlias = antiAlias;
  s.SmoothImages = smoothImages;
  return s;
}

inline TCanvasFixture MakeCanvas(int width, int height, bool antiAlias = false,
                                 bool smoothImages = false, int maxTile = 0) {
  std::optional<TRasterImage> raster = TRasterImage::Create(width, height, 96, kWhite);
  EXPECT_TRUE(raster.has_value());
  TCanvasFixture f{std::move(*raster), std::make_unique<TPDFPicasso>()};
  if (maxTile > 0) f.canvas->SetMaxTileSize(maxTile);
  EXPECT_TRUE(f.canvas->AttachLibrary(f.raster, Settings(antiAlias, smoothImages)));
  return f;
}

inline void AddRect(TPDFGenericCanvas& c, double x0, double y0, double x1, double y1) {
  c.MoveTo(x0, y0);
  c.LineTo(x1, y0);
  c.LineTo(x1, y1);
  c.LineTo(x0, y1);
  c.ClosePath();
}

inline void FillRect(TPDFGenericCanvas& c, double x0, double y0, double x1, double y1,
                     TPackedColor color) {
  c.SetFillColor(color);
  c.BeginPath();
  AddRect(c, x0, y0, x1, y1);
  c.FillPath();
}

inline std::set<std::uint32_t> Colours(const TCanvasFixture& f) {
  std::set<std::uint32_t> out;
  for (int y = 0; y < f.raster.Height(); ++y) {
    for (int x = 0; x < f.raster.Width(); ++x) out.insert(f.At(x, y));
  }
  return out;
}

inline int CountColour(const TCanvasFixture& f, std::uint32_t colour) {
  int n = 0;
  for (int y = 0; y < f.raster.Height(); ++y) {
    for (int x = 0; x < f.raster.Width(); ++x) n += f.At(x, y) == colour;
  }
  return n;
}

inline int Channel(std::uint32_t rgb, int shift) { return (rgb >> shift) & 0xFF; }

}  // namespace kestrel::testing
