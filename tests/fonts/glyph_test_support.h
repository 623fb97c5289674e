#pragma once
// Helpers of the font tests: a canvas that measures the tight bounds of what is drawn, and
// glyph bounds read from the AFM files that come with the URW fonts.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

#include "engine/graphics/canvas.h"

namespace kestrel::testing {

inline const char* kUrwDir = "/usr/share/fonts/type1/urw-base35/";

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct TBox {
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  bool Empty() const { return x0 > x1; }
  void Add(double x, double y) {
    x0 = std::min(x0, x); y0 = std::min(y0, y);
    x1 = std::max(x1, x); y1 = std::max(y1, y);
  }
};

// Bounds of the outline itself: curves are followed point by point, not by control points.
class TBoundsCanvas final : public TPDFGenericCanvas {
 public:
  TBox Box;
  int Segments = 0;
  void BeginPath() override {}
  void MoveTo(double x, double y) override { Box.Add(x, y); cx = x; cy = y; }
  void LineTo(double x, double y) override { MoveTo(x, y); ++Segments; }
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) override {
    for (int i = 1; i <= 64; ++i) {
      const double t = i / 64.0, u = 1 - t;
      Box.Add(u * u * u * cx + 3 * u * u * t * x1 + 3 * u * t * t * x2 + t * t * t * x3,
              u * u * u * cy + 3 * u * u * t * y1 + 3 * u * t * t * y2 + t * t * t * y3);
    }
    cx = x3; cy = y3; ++Segments;
  }
  void QuadTo(double x1, double y1, double x2, double y2) override {
    CurveTo(x1, y1, x1, y1, x2, y2);
  }
  void ClosePath() override {}
  void StrokePath() override {}
  void FillPath() override {}
  void FillStrokePath() override {}
  void DrawBitmap(const TCanvasBitmap&, double, double, double, double, double, double,
                  TImageSampling) override {}

 private:
  double cx = 0, cy = 0;
};

// "N name ; B llx lly urx ury" of every glyph of an AFM file.
inline std::map<std::string, TBox> ReadAfmBoxes(const std::string& path) {
  std::map<std::string, TBox> boxes;
  std::istringstream in(ReadFileBytes(path));
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t n = line.find("; N "), b = line.find("; B ");
    if (line.rfind("C ", 0) != 0 || n == std::string::npos || b == std::string::npos) continue;
    std::istringstream name(line.substr(n + 4)), box(line.substr(b + 4));
    std::string glyph;
    TBox r;
    name >> glyph;
    box >> r.x0 >> r.y0 >> r.x1 >> r.y1;
    boxes[glyph] = r;
  }
  return boxes;
}

// "N name ; WX width" of every glyph of an AFM file.
inline std::map<std::string, int> ReadAfmWidths(const std::string& path) {
  std::map<std::string, int> widths;
  std::istringstream in(ReadFileBytes(path));
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t n = line.find("; N "), w = line.find("WX ");
    if (line.rfind("C ", 0) != 0 || n == std::string::npos || w == std::string::npos) continue;
    std::istringstream name(line.substr(n + 4)), width(line.substr(w + 3));
    std::string glyph;
    int wx = 0;
    name >> glyph;
    width >> wx;
    widths[glyph] = wx;
  }
  return widths;
}

}  // namespace kestrel::testing
