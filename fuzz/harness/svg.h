#pragma once
// Fuzz harness for the SVG canvas, shared by fuzz_svg_canvas and the replay test: programs of
// canvas calls (coordinates include NaN, infinities and absurd magnitudes, layers and clips out
// of order); the document must always be complete: groups balanced, every number finite,
// every reference defined.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/output/svg/svg_canvas.h"
#include "fuzz/harness/canvas.h"

namespace fuzzharness {

namespace svgharness {

// A glyph of three points taken from the program.
class TProgramGlyph : public kestrel::TGlyphOutlineSource {
 public:
  explicit TProgramGlyph(fuzzharness::TCanvasProgram& in) {
    for (double& v : points_) v = in.Coord();
  }
  void AddOutline(kestrel::TPDFGenericCanvas& canvas, const kestrel::TPDFMatrix& m) const override {
    auto x = [&](int i) { return m.a * points_[2 * i] + m.c * points_[2 * i + 1] + m.e; };
    auto y = [&](int i) { return m.b * points_[2 * i] + m.d * points_[2 * i + 1] + m.f; };
    canvas.MoveTo(x(0), y(0));
    canvas.LineTo(x(1), y(1));
    canvas.QuadTo(x(1), y(2), x(2), y(2));
    canvas.ClosePath();
  }

 private:
  double points_[6];
};

std::size_t Count(const std::string& s, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

}  // namespace svgharness

inline void RunSVGProgram(const std::uint8_t* data, std::size_t size) {
  using namespace kestrel;
  fuzzharness::TCanvasProgram in(data, size);
  const std::uint8_t flags = in.Byte();
  TSVGCanvas canvas(1 + in.Byte() % 64, 1 + in.Byte() % 64, 50, 50, flags & 1);
  canvas.MaxBytes = 1 << 16;
  std::vector<TClipHandle> handles;
  const std::string names[] = {"a", "b", "<&\">"};
  for (int ops = 0; ops < 1500 && !in.Done(); ++ops) {
    switch (in.Byte() % 28) {
      case 0: canvas.BeginPath(); break;
      case 1: { const double x = in.Coord(); canvas.MoveTo(x, in.Coord()); break; }
      case 2: { const double x = in.Coord(); canvas.LineTo(x, in.Coord()); break; }
      case 3: {
        double v[6];
        for (double& d : v) d = in.Coord();
        canvas.CurveTo(v[0], v[1], v[2], v[3], v[4], v[5]);
        break;
      }
      case 4: {
        double v[4];
        for (double& d : v) d = in.Coord();
        canvas.QuadTo(v[0], v[1], v[2], v[3]);
        break;
      }
      case 5: canvas.ClosePath(); break;
      case 6: canvas.StrokePath(); break;
      case 7: canvas.FillPath(); break;
      case 8: canvas.FillStrokePath(); break;
      case 9: canvas.SetFillColor(in.Word()); break;
      case 10: canvas.SetStrokeColor(in.Word()); break;
      case 11: canvas.SetFillAlpha(in.Scalar()); break;
      case 12: canvas.SetStrokeAlpha(in.Scalar()); break;
      case 13: canvas.SetLineWidth(in.Scalar() * 8); break;
      case 14: canvas.SetLineCap(LineCapFrom(in.Byte() % 4)); break;
      case 15: canvas.SetLineJoin(LineJoinFrom(in.Byte() % 4)); break;
      case 16: canvas.SetMiterLimit(in.Scalar() * 20); break;
      case 17: {
        TGPDashArray dashes(in.Byte() % 6);
        for (float& d : dashes) d = static_cast<float>(in.Scalar() * 4);
        canvas.SetDash(dashes, in.Scalar());
        break;
      }
      case 18: canvas.SetFillRule(in.Byte() % 3); break;
      case 19: canvas.SetClip(1 + in.Byte() % 2); break;
      case 20: canvas.EndPath(); break;
      case 21: handles.push_back(canvas.SaveClip()); break;
      case 22:
        canvas.RestoreClip(handles.empty() ? in.Word() : handles[in.Byte() % handles.size()]);
        break;
      case 23: {
        TCanvasBitmap bmp;
        bmp.Width = in.Byte() % 9;
        bmp.Height = in.Byte() % 9;
        const std::size_t n = static_cast<std::size_t>(bmp.Width) * bmp.Height;
        for (std::size_t i = 0; i < n; ++i) bmp.Pixels.push_back(in.Word());
        if ((in.Byte() & 1) && !bmp.Pixels.empty()) bmp.Pixels.pop_back();  // one short
        if (in.Byte() & 1) bmp.ColorKey = TCanvasColorKey{{0, 0, 0}, {128, 128, 128}};
        double v[6];
        for (double& d : v) d = in.Coord();
        canvas.DrawBitmap(bmp, v[0], v[1], v[2], v[3], v[4], v[5],
                          static_cast<TImageSampling>(in.Byte() % 3));
        break;
      }
      case 24: {
        TGlyphKey key;
        key.Font = in.Byte() % 3;
        key.Glyph = names[in.Byte() % 3];
        key.Matrix = TPDFMatrix{in.Scalar(), 0, 0, in.Scalar(), in.Coord(), in.Coord()};
        canvas.FillGlyph(key, svgharness::TProgramGlyph(in));
        break;
      }
      case 25:
        if (in.Byte() & 1) canvas.BeginLayer(std::nullopt);
        else canvas.BeginLayer(in.Word());
        break;
      case 26: {
        std::vector<std::uint8_t> transfer(in.Byte() & 1 ? 256 : 0);
        for (std::uint8_t& t : transfer) t = in.Byte();
        canvas.EndLayerAsMask(in.Byte() & 1, transfer);
        break;
      }
      case 27: canvas.EndLayer(); break;
    }
  }
  const std::string svg = canvas.Finish();
  if (svg.rfind("</svg>\n") != svg.size() - 7) __builtin_trap();
  if (svgharness::Count(svg, "<g") != svgharness::Count(svg, "</g>")) __builtin_trap();
  // Outside embedded pictures, no number is "nan" or "inf".
  std::string text;
  for (std::size_t at = 0; at < svg.size();) {
    const std::size_t data = svg.find("base64,", at);
    text.append(svg, at, data == std::string::npos ? std::string::npos : data - at);
    if (data == std::string::npos) break;
    at = svg.find('"', data);
    if (at == std::string::npos) __builtin_trap();
  }
  for (const char* word : {"nan", "inf"}) {
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
      if (at == 0 || !std::isalpha(static_cast<unsigned char>(text[at - 1]))) __builtin_trap();  // not "luminance"
  }
  // Every reference names an element defined in the document.
  for (const std::string opener : {"url(#", "href=\"#"}) {
    for (std::size_t at = svg.find(opener); at != std::string::npos; at = svg.find(opener, at + 1)) {
      const std::size_t start = at + opener.size();
      const std::size_t end = svg.find_first_of(")\"", start);
      if (end == std::string::npos) __builtin_trap();
      if (svg.find("id=\"" + svg.substr(start, end - start) + "\"") == std::string::npos) __builtin_trap();
    }
  }
}

}  // namespace fuzzharness
