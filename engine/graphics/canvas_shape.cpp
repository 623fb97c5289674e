#include "engine/graphics/canvas_shape.h"

namespace kestrel {

TPDFGenericShape::TPDFGenericShape() : m_capacity(kGrowth) { m_commands.reserve(m_capacity); }

void TPDFGenericShape::AddCommand(const TShapeCommand& command) {
  if (m_commands.size() >= m_capacity) {
    m_capacity += kGrowth;
    m_commands.reserve(m_capacity);
  }
  m_commands.push_back(command);
}

void TPDFGenericShape::AddMoveTo(double x, double y) {
  AddCommand({static_cast<std::uint8_t>(TShapeCommandKind::MoveTo), x, y});
}

void TPDFGenericShape::AddLineTo(double x, double y) {
  AddCommand({static_cast<std::uint8_t>(TShapeCommandKind::LineTo), x, y});
}

void TPDFGenericShape::AddCurveTo(double x1, double y1, double x2, double y2, double x3,
                                  double y3) {
  AddCommand({static_cast<std::uint8_t>(TShapeCommandKind::CurveTo), x1, y1, x2, y2, x3, y3});
}

void TPDFGenericShape::AddQuadTo(double x1, double y1, double x2, double y2) {
  AddCommand({static_cast<std::uint8_t>(TShapeCommandKind::QuadTo), x1, y1, x2, y2});
}

void TPDFGenericShape::AddClosePath() {
  AddCommand({static_cast<std::uint8_t>(TShapeCommandKind::ClosePath)});
}

void ReplayShape(TPDFGenericCanvas& canvas, const TPDFGenericShape& shape, const TPDFMatrix& m) {
  for (const TShapeCommand& cmd : shape.Commands()) {
    const TPDFPoint p1 = TransformPoint(m, cmd.x1, cmd.y1);
    const TPDFPoint p2 = TransformPoint(m, cmd.x2, cmd.y2);
    const TPDFPoint p3 = TransformPoint(m, cmd.x3, cmd.y3);
    switch (static_cast<TShapeCommandKind>(cmd.kind)) {
      case TShapeCommandKind::BeginPath: canvas.BeginPath(); break;
      case TShapeCommandKind::MoveTo: canvas.MoveTo(p1.x, p1.y); break;
      case TShapeCommandKind::LineTo: canvas.LineTo(p1.x, p1.y); break;
      case TShapeCommandKind::CurveTo: canvas.CurveTo(p1.x, p1.y, p2.x, p2.y, p3.x, p3.y); break;
      case TShapeCommandKind::QuadTo: canvas.QuadTo(p1.x, p1.y, p2.x, p2.y); break;
      case TShapeCommandKind::ClosePath: canvas.ClosePath(); break;
      case TShapeCommandKind::StrokePath: canvas.StrokePath(); break;
      case TShapeCommandKind::FillPath: canvas.FillPath(); break;
      case TShapeCommandKind::FillStrokePath: canvas.FillStrokePath(); break;
      default: break;  // unknown kinds are skipped
    }
  }
}

}  // namespace kestrel
