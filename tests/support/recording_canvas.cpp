#include "support/recording_canvas.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "engine/graphics/format_decimal.h"

namespace kestrel {
namespace {

std::string Num(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  return FormatDecimal(4, v);
}

std::string Nums(std::initializer_list<double> values) {
  std::string out;
  for (double v : values) {
    out += ' ';
    out += Num(v);
  }
  return out;
}

std::string Hex(TPackedColor c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%06X", static_cast<unsigned>(c));
  return buf;
}

}  // namespace

TRecordingCanvas::TRecordingCanvas(bool recordState, std::size_t maxLines)
    : m_recordState(recordState), m_maxLines(maxLines) {}

void TRecordingCanvas::Add(std::string line) {
  if (m_lines.size() >= m_maxLines) {
    ++m_dropped;
    return;
  }
  m_lines.push_back(std::move(line));
}

void TRecordingCanvas::AddState(std::string line) {
  if (m_recordState) Add(std::move(line));
}

void TRecordingCanvas::BeginPath() { Add("BeginPath"); }
void TRecordingCanvas::MoveTo(double x, double y) { Add("MoveTo" + Nums({x, y})); }
void TRecordingCanvas::LineTo(double x, double y) { Add("LineTo" + Nums({x, y})); }

void TRecordingCanvas::CurveTo(double x1, double y1, double x2, double y2, double x3,
                               double y3) {
  Add("CurveTo" + Nums({x1, y1, x2, y2, x3, y3}));
}

void TRecordingCanvas::QuadTo(double x1, double y1, double x2, double y2) {
  Add("QuadTo" + Nums({x1, y1, x2, y2}));
}

void TRecordingCanvas::ClosePath() { Add("ClosePath"); }
void TRecordingCanvas::StrokePath() { Add("StrokePath"); }
void TRecordingCanvas::FillPath() { Add("FillPath"); }
void TRecordingCanvas::FillStrokePath() { Add("FillStrokePath"); }

void TRecordingCanvas::DrawBitmap(const TCanvasBitmap& bitmap, double x1, double y1, double x2,
                                  double y2, double x3, double y3, TImageSampling sampling) {
  std::string line = "DrawBitmap " + std::to_string(bitmap.Width) + "x" +
                     std::to_string(bitmap.Height) + Nums({x1, y1, x2, y2, x3, y3});
  switch (sampling) {
    case TImageSampling::Default: line += " default"; break;
    case TImageSampling::Nearest: line += " nearest"; break;
    case TImageSampling::Smooth: line += " smooth"; break;
  }
  if (bitmap.ColorKey) {
    const TCanvasColorKey& k = *bitmap.ColorKey;
    char buf[64];
    std::snprintf(buf, sizeof buf, " key %u,%u,%u-%u,%u,%u", k.Low[0], k.Low[1], k.Low[2],
                  k.High[0], k.High[1], k.High[2]);
    line += buf;
  }
  Add(std::move(line));
}

void TRecordingCanvas::SetFillColor(TPackedColor color) { AddState("SetFillColor " + Hex(color)); }

void TRecordingCanvas::SetStrokeColor(TPackedColor color) {
  AddState("SetStrokeColor " + Hex(color));
}

void TRecordingCanvas::SetFillAlpha(double alpha) { AddState("SetFillAlpha" + Nums({alpha})); }

void TRecordingCanvas::SetStrokeAlpha(double alpha) {
  AddState("SetStrokeAlpha" + Nums({alpha}));
}

void TRecordingCanvas::SetLineWidth(double width) { AddState("SetLineWidth" + Nums({width})); }
void TRecordingCanvas::SetLineCap(TLineCap cap) {
  AddState("SetLineCap " + std::to_string(static_cast<int>(cap)));
}
void TRecordingCanvas::SetLineJoin(TLineJoin join) {
  AddState("SetLineJoin " + std::to_string(static_cast<int>(join)));
}

void TRecordingCanvas::SetMiterLimit(double limit) {
  AddState("SetMiterLimit" + Nums({limit}));
}

void TRecordingCanvas::SetDash(const TGPDashArray& dashes, double phase) {
  std::string line = "SetDash [";
  for (std::size_t i = 0; i < dashes.size(); ++i) {
    if (i) line += ' ';
    line += Num(dashes[i]);
  }
  line += "]" + Nums({phase});
  AddState(std::move(line));
}

void TRecordingCanvas::SetFillRule(int rule) { AddState("SetFillRule " + std::to_string(rule)); }

void TRecordingCanvas::SetClip(int rule) {
  m_clipChanged = true;
  m_snapshot = 0;  // the clip is about to change: no snapshot describes it any more
  Add("SetClip " + std::to_string(rule));
}

void TRecordingCanvas::EndPath() { Add("EndPath"); }

TClipHandle TRecordingCanvas::SaveClip() {
  if (m_clipChanged) {
    m_clipChanged = false;
    m_snapshot = ++m_lastHandle;
  }
  Add("SaveClip -> " + std::to_string(m_snapshot));
  return m_snapshot;
}

void TRecordingCanvas::RestoreClip(TClipHandle handle) {
  if (handle == m_snapshot) return;
  m_snapshot = handle;
  Add("RestoreClip " + std::to_string(handle));
}

std::string TRecordingCanvas::Text() const {
  std::string out;
  for (const std::string& line : m_lines) {
    out += line;
    out += '\n';
  }
  return out;
}

void TRecordingCanvas::Clear() {
  m_lines.clear();
  m_dropped = 0;
}

}  // namespace kestrel
