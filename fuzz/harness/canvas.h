#pragma once
// Fuzz harness for the raster canvas, shared by fuzz_canvas and the canvas regression test:
// the input is a program of canvas calls with coordinates that include NaN, infinities and
// absurd magnitudes. Cairo must never be left in an error state.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "engine/graphics/raster_image.h"
#include "engine/output/raster/raster_canvas.h"

namespace fuzzharness {

class TCanvasProgram {
 public:
  TCanvasProgram(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

  bool Done() const { return m_pos >= m_size; }

  std::uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }

  std::uint32_t Word() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return v;
  }

  // Mostly ordinary page coordinates, sometimes the values that break fixed-point libraries.
  double Coord() {
    const std::uint8_t kind = Byte();
    static constexpr double kSpecial[] = {
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), 1e30, -1e30, 1e300, -1e300, 1e7, -1e7,
        2.5e6, -2.5e6, 8.4e6, 1e-310, 0, 32767.5, -0.5};
    if (kind < 32) return kSpecial[kind % 16];
    const std::uint16_t raw = static_cast<std::uint16_t>(Byte() << 8 | Byte());
    const double unit = (raw / 65535.0) * 104 - 20;  // a little beyond a 64-pixel page
    return kind < 48 ? unit * 1000 : unit;
  }

  double Scalar() {
    const std::uint8_t kind = Byte();
    if (kind < 16) return Coord();
    return (kind - 16) / 24.0;
  }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

inline void RunCanvasProgram(const std::uint8_t* data, std::size_t size) {
  using namespace kestrel;
  TCanvasProgram in(data, size);
  const std::uint8_t flags = in.Byte();
  std::optional<TRasterImage> raster = TRasterImage::Create(48, 40, 96, 0xFFFFFF);
  if (!raster) __builtin_trap();
  TPDFPicasso canvas;
  if (flags & 8) canvas.SetMaxTileSize(16 + 4 * (flags >> 4));  // a few tiles, not thousands
  TGDIPlusSettings settings;
  settings.AntiAlias = flags & 1;
  settings.SmoothImages = flags & 2;
  settings.UseLibrary = !(flags & 4);
  if (!canvas.AttachLibrary(*raster, settings)) __builtin_trap();

  std::vector<TClipHandle> handles;
  for (int ops = 0; ops < 1500 && !in.Done(); ++ops) {
    switch (in.Byte() % 26) {
      case 0: canvas.BeginPath(); break;
      case 1: {
        const double x = in.Coord();
        canvas.MoveTo(x, in.Coord());
        break;
      }
      case 2:
      case 3: {
        const double x = in.Coord();
        canvas.LineTo(x, in.Coord());
        break;
      }
      case 4: {
        double v[6];
        for (double& d : v) d = in.Coord();
        canvas.CurveTo(v[0], v[1], v[2], v[3], v[4], v[5]);
        break;
      }
      case 5: {
        double v[4];
        for (double& d : v) d = in.Coord();
        canvas.QuadTo(v[0], v[1], v[2], v[3]);
        break;
      }
      case 6: canvas.ClosePath(); break;
      case 7: canvas.StrokePath(); break;
      case 8: canvas.FillPath(); break;
      case 9: canvas.FillStrokePath(); break;
      case 10:
      case 11: {
        TCanvasBitmap bitmap;
        bitmap.Width = in.Byte() % 9;
        bitmap.Height = in.Byte() % 9;
        const std::size_t count = static_cast<std::size_t>(bitmap.Width) * bitmap.Height;
        const std::size_t have = in.Byte() % 2 ? count : count / 2;  // sometimes too short
        for (std::size_t i = 0; i < have; ++i) bitmap.Pixels.push_back(in.Word());
        if (in.Byte() % 2) {
          bitmap.ColorKey = TCanvasColorKey{{in.Byte(), in.Byte(), in.Byte()},
                                            {in.Byte(), in.Byte(), in.Byte()}};
        }
        double v[6];
        for (double& d : v) d = in.Coord();
        const auto sampling = static_cast<TImageSampling>(in.Byte() % 3);
        if (in.Byte() % 4 == 0) {
          canvas.DrawBitmapRect(bitmap, v[0], v[1], v[2], v[3]);
        } else {
          canvas.DrawBitmap(bitmap, v[0], v[1], v[2], v[3], v[4], v[5], sampling);
        }
        break;
      }
      case 12: canvas.SetFillColor(in.Word()); break;
      case 13: canvas.SetStrokeColor(in.Word()); break;
      case 14: canvas.SetFillAlpha(in.Scalar()); break;
      case 15: canvas.SetStrokeAlpha(in.Scalar()); break;
      case 16: canvas.SetLineWidth(in.Byte() < 200 ? in.Scalar() * 8 : in.Coord()); break;
      case 17: canvas.SetLineCap(LineCapFrom(static_cast<std::int8_t>(in.Byte()))); break;
      case 18: canvas.SetLineJoin(LineJoinFrom(static_cast<std::int8_t>(in.Byte()))); break;
      case 19: canvas.SetMiterLimit(in.Byte() < 200 ? in.Scalar() * 20 : in.Coord()); break;
      case 20: {
        TGPDashArray dashes(in.Byte() % 9);
        for (float& d : dashes) {
          d = static_cast<float>(in.Byte() < 220 ? in.Scalar() * 4 : in.Coord());
        }
        canvas.SetDash(dashes, in.Scalar() * 10);
        break;
      }
      case 21: canvas.SetFillRule(in.Byte() % 4); break;
      case 22: canvas.SetClip(in.Byte() % 4); break;
      case 23: canvas.EndPath(); break;
      case 24: handles.push_back(canvas.SaveClip()); break;
      case 25:
        if (!handles.empty() && in.Byte() % 8) {
          canvas.RestoreClip(handles.back());
          handles.pop_back();
        } else {
          canvas.RestoreClip(in.Byte());
        }
        break;
    }
    if (canvas.BackendErrorCount() != 0) __builtin_trap();
  }
}

}  // namespace fuzzharness
