// The EMF+ canvas driven by arbitrary programs of canvas calls (coordinates include NaN,
// infinities and absurd magnitudes); the finished file must always be structurally sound and
// hold only finite path coordinates within range.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/output/emfplus/emfplus_objects.h"
#include "engine/output/emfplus/emfplus_writer.h"
#include "engine/output/emfplus/emfplus_canvas.h"
#include "fuzz/harness/canvas.h"
#include "tests/output/emfplus_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrel;
  fuzzharness::TCanvasProgram in(data, size);
  const std::uint8_t flags = in.Byte();
  TGDIPlusSettings settings;
  settings.AntiAlias = flags & 1;
  settings.SmoothImages = flags & 2;
  const double dpi = (flags & 4) ? 0.5 + in.Byte() * 3.0 : 96;
  auto canvas = TEmfPlusCanvas::Create(1 + in.Byte() % 64, 1 + in.Byte() % 64, dpi, settings);
  if (!canvas) __builtin_trap();

  std::vector<TClipHandle> handles;
  for (int ops = 0; ops < 1500 && !in.Done(); ++ops) {
    switch (in.Byte() % 24) {
      case 0: canvas->BeginPath(); break;
      case 1: { const double x = in.Coord(); canvas->MoveTo(x, in.Coord()); break; }
      case 2: { const double x = in.Coord(); canvas->LineTo(x, in.Coord()); break; }
      case 3: {
        double v[6];
        for (double& d : v) d = in.Coord();
        canvas->CurveTo(v[0], v[1], v[2], v[3], v[4], v[5]);
        break;
      }
      case 4: {
        double v[4];
        for (double& d : v) d = in.Coord();
        canvas->QuadTo(v[0], v[1], v[2], v[3]);
        break;
      }
      case 5: canvas->ClosePath(); break;
      case 6: canvas->StrokePath(); break;
      case 7: canvas->FillPath(); break;
      case 8: canvas->FillStrokePath(); break;
      case 9: canvas->SetFillColor(in.Word()); break;
      case 10: canvas->SetStrokeColor(in.Word()); break;
      case 11: canvas->SetFillAlpha(in.Scalar()); break;
      case 12: canvas->SetStrokeAlpha(in.Scalar()); break;
      case 13: canvas->SetLineWidth(in.Scalar() * 8); break;
      case 14: canvas->SetLineCap(LineCapFrom(in.Byte() % 4)); break;
      case 15: canvas->SetLineJoin(LineJoinFrom(in.Byte() % 4)); break;
      case 16: canvas->SetMiterLimit(in.Scalar() * 20); break;
      case 17: {
        TGPDashArray dashes(in.Byte() % 6);
        for (float& d : dashes) d = static_cast<float>(in.Scalar() * 4);
        canvas->SetDash(dashes, in.Scalar());
        break;
      }
      case 18: canvas->SetFillRule(in.Byte() % 3); break;
      case 19: canvas->SetClip(1 + in.Byte() % 2); break;
      case 20: canvas->EndPath(); break;
      case 21: handles.push_back(canvas->SaveClip()); break;
      case 22:
        if (!handles.empty()) {
          canvas->RestoreClip(handles[in.Byte() % handles.size()]);
        } else {
          canvas->RestoreClip(in.Word());
        }
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
        canvas->DrawBitmap(bmp, v[0], v[1], v[2], v[3], v[4], v[5],
                           static_cast<TImageSampling>(in.Byte() % 3));
        break;
      }
    }
  }
  const TBytes file = canvas->Finish();
  const auto parsed = emfplustest::ReadEmfPlus(file);
  if (!parsed) __builtin_trap();
  for (const auto& r : parsed->Plus) {
    if (r.Type != emfplus::kObject || ((r.Flags >> 8) & 0x7F) != emfplus::kObjectPath) continue;
    const auto path = emfplustest::ReadPath(r.Data);
    if (!path || path->Points.empty()) __builtin_trap();
    for (auto [x, y] : path->Points) {
      if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > emfplus::kMaxCoord ||
          std::fabs(y) > emfplus::kMaxCoord) {
        __builtin_trap();
      }
    }
    // The first point of a path starts a figure, and Bézier points come in threes.
    if (path->Types.front() != 0) __builtin_trap();
    std::size_t run = 0;
    for (std::uint8_t t : path->Types) {
      if ((t & 7) == 3) {
        ++run;
      } else if (run % 3 != 0) {
        __builtin_trap();
      }
      if ((t & 7) != 3 || (t & 0x80)) {
        if (run % 3 != 0) __builtin_trap();
        run = 0;
      }
    }
    if (run % 3 != 0) __builtin_trap();
  }
  return 0;
}
