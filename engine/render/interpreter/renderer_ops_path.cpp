// Path construction, painting and clipping operators. The path is kept here in device
// coordinates and handed to the canvas when it is painted, clipped or ended, so that it can
// be snapped to pixels first.
#include <cmath>

#include "engine/render/interpreter/renderer_interpreter.h"
#include "engine/render/renderer_limits.h"
#include "engine/render/interpreter/renderer_stroke_adjust.h"

namespace kestrel {

TPDFPoint TContentInterpreter::T(double x, double y) const {
  return TransformPoint(r_.CTM, x, y);
}

double TContentInterpreter::DeviceLineWidth() const {
  // The length of a line-width vector across the line: translation cancels.
  const TPDFPoint v = TransformVector(r_.CTM, 0, gs_.LineWidth);
  const double width = std::hypot(v.x, v.y);
  return std::isfinite(width) ? width : 1.0;
}

namespace {

bool Finite(TPDFPoint p) { return std::isfinite(p.x) && std::isfinite(p.y); }

}  // namespace

void TContentInterpreter::OpenPath() {
  if (pathOpen_) return;
  path_.clear();
  pathOpen_ = true;
}

void TContentInterpreter::ResetPath() {
  path_.clear();
  pathOpen_ = false;
  clipRule_ = 0;
}

void TContentInterpreter::AddOp(TPathOpKind kind, TPDFPoint a, TPDFPoint b, TPDFPoint c) {
  // Segments beyond the limit are dropped; the path drawn so far stays.
  if (path_.size() >= limits::kMaxPathSegments) return;
  path_.push_back(TPathOp{kind, {a, b, c}});
}

void TContentInterpreter::MoveTo() {
  const double y = operands_.PopNumber();
  const double x = operands_.PopNumber();
  OpenPath();
  const TPDFPoint p = T(x, y);
  if (!Finite(p)) return;
  AddOp(TPathOpKind::Move, p);
  gs_.Current = p;
}

void TContentInterpreter::LineTo() {
  const double y = operands_.PopNumber();
  const double x = operands_.PopNumber();
  const TPDFPoint p = T(x, y);
  if (!Finite(p)) return;
  if (pathOpen_) AddOp(TPathOpKind::Line, p);
  gs_.Current = p;
}

void TContentInterpreter::CurveTo(int form) {
  double v[6] = {};
  const int count = form == 'c' ? 6 : 4;
  for (int i = count - 1; i >= 0; --i) v[i] = operands_.PopNumber();
  TPDFPoint p1, p2, p3;
  if (form == 'c') {
    p1 = T(v[0], v[1]), p2 = T(v[2], v[3]), p3 = T(v[4], v[5]);
  } else if (form == 'v') {
    p1 = gs_.Current, p2 = T(v[0], v[1]), p3 = T(v[2], v[3]);
  } else {
    p1 = T(v[0], v[1]), p2 = T(v[2], v[3]), p3 = p2;
  }
  if (!Finite(p1) || !Finite(p2) || !Finite(p3)) return;
  if (pathOpen_) AddOp(TPathOpKind::Curve, p1, p2, p3);
  gs_.Current = p3;
}

void TContentInterpreter::ClosePath() {
  if (pathOpen_ && !path_.empty() && path_.back().kind != TPathOpKind::Close)
    AddOp(TPathOpKind::Close, {});
}

void TContentInterpreter::Rectangle() {
  const double h = operands_.PopNumber();
  const double w = operands_.PopNumber();
  const double y = operands_.PopNumber();
  const double x = operands_.PopNumber();
  OpenPath();
  // The order of the corners is the one PDF defines, so the winding of the rectangle counts
  // correctly against other subpaths under the nonzero rule.
  const TPDFPoint a = T(x, y), b = T(x + w, y), c = T(x + w, y + h), d = T(x, y + h);
  if (!Finite(a) || !Finite(b) || !Finite(c) || !Finite(d)) return;
  AddOp(TPathOpKind::Move, a);
  AddOp(TPathOpKind::Line, b);
  AddOp(TPathOpKind::Line, c);
  AddOp(TPathOpKind::Line, d);
  AddOp(TPathOpKind::Close, {});
  gs_.Current = a;
}

void TContentInterpreter::EmitPath(const std::vector<TPathOp>& ops) {
  canvas_.BeginPath();
  for (const TPathOp& op : ops) {
    switch (op.kind) {
      case TPathOpKind::Move: canvas_.MoveTo(op.p[0].x, op.p[0].y); break;
      case TPathOpKind::Line: canvas_.LineTo(op.p[0].x, op.p[0].y); break;
      case TPathOpKind::Curve:
        canvas_.CurveTo(op.p[0].x, op.p[0].y, op.p[1].x, op.p[1].y, op.p[2].x, op.p[2].y);
        break;
      case TPathOpKind::Close: canvas_.ClosePath(); break;
    }
  }
}

void TContentInterpreter::ApplyPendingClip() {
  if (clipRule_ == 0) return;
  canvas_.SetClip(clipRule_);
  NoteClip(PathBox(path_));
}

void TContentInterpreter::ApplyStrokeSettings(double deviceWidth) {
  canvas_.SetStrokeAlpha(gs_.StrokeAlpha);
  canvas_.SetStrokeColor(gs_.StrokeColor);
  canvas_.SetLineWidth(deviceWidth);
  // The canvas measures dashes in line widths of the width it is given.
  dashScratch_.clear();
  if (!gs_.DashArray.empty()) {
    const TPDFPoint unit = TransformVector(r_.CTM, 0, 1);
    const double scale = std::hypot(unit.x, unit.y) / (deviceWidth > 0 ? deviceWidth : 1.0);
    for (double d : gs_.DashArray) dashScratch_.push_back(static_cast<float>(d * scale));
    float phase = static_cast<float>(gs_.DashPhase * scale);
    // A pattern that overflows cannot be walked: the line is drawn solid.
    bool usable = std::isfinite(phase);
    for (float d : dashScratch_) usable = usable && std::isfinite(d);
    if (!usable) dashScratch_.clear(), phase = 0;
    canvas_.SetDash(dashScratch_, phase);
  } else {
    canvas_.SetDash(dashScratch_, 0);
  }
  canvas_.SetLineJoin(LineJoinFrom(gs_.LineJoin));
  canvas_.SetLineCap(LineCapFrom(gs_.LineCap));
  canvas_.SetMiterLimit(gs_.MiterLimit);
}

void TContentInterpreter::ApplyFillSettings(int fillRule) {
  canvas_.SetFillAlpha(gs_.FillAlpha);
  canvas_.SetFillRule(fillRule);
  canvas_.SetFillColor(gs_.FillColor);
}

void TContentInterpreter::Paint(bool close, bool fill, bool stroke, int fillRule) {
  if (close) ClosePath();
  const double width = DeviceLineWidth();
  if (!Shows() || path_.empty()) {
    // Nothing to paint; a pending clip still applies to the path there is.
    EndPath();
    return;
  }
  if (eps_) {
    PaintEPS(fill, stroke, fillRule);
    return;
  }
  if (fill && gs_.FillPattern) {
    // The pattern paints through the path; what remains is the stroke (or nothing).
    FillWithPattern(fillRule);
    fill = false;
    if (!stroke) {
      EndPath();
      return;
    }
  }
  bool fillAdjusted = false;
  std::optional<double> strokeWidth;
  // Clips take the path as it is: only paths without one are snapped.
  if (r_.StrokeAdjust && clipRule_ == 0) {
    if (fill) fillAdjusted = AdjustFillRectangle(path_, fillScratch_);
    if (stroke) strokeWidth = AdjustStrokeLines(path_, width, strokeScratch_);
  }
  if (fill && stroke && (fillAdjusted || strokeWidth)) {
    // Snapped differently for the fill and for the stroke: two paintings of the same path.
    ApplyFillSettings(fillRule);
    EmitPath(fillAdjusted ? fillScratch_ : path_);
    canvas_.FillPath();
    fill = false;
  }
  if (stroke) ApplyStrokeSettings(strokeWidth ? *strokeWidth : width);
  if (fill) ApplyFillSettings(fillRule);
  if (stroke && strokeWidth) {
    EmitPath(strokeScratch_);
  } else if (fill && fillAdjusted) {
    EmitPath(fillScratch_);
  } else {
    EmitPath(path_);
  }
  ApplyPendingClip();
  if (fill && stroke) {
    canvas_.FillStrokePath();
  } else if (fill) {
    canvas_.FillPath();
  } else {
    canvas_.StrokePath();
  }
  ResetPath();
}

void TContentInterpreter::EndPath() {
  // Only a clip needs the path on the canvas.
  if (!path_.empty() && clipRule_ != 0) {
    EmitPath(path_);
    ApplyPendingClip();
  }
  canvas_.EndPath();
  ResetPath();
}

void TContentInterpreter::MarkClip(int rule) { clipRule_ = rule; }

}  // namespace kestrel
