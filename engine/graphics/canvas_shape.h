#pragma once
// A recorded outline (one glyph), replayed onto any canvas through a matrix.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/graphics/canvas.h"
#include "engine/graphics/matrix.h"

namespace kestrel {

enum class TShapeCommandKind : std::uint8_t {
  BeginPath = 0,
  MoveTo = 1,
  LineTo = 2,
  CurveTo = 3,
  QuadTo = 4,
  ClosePath = 5,
  StrokePath = 6,
  FillPath = 7,
  FillStrokePath = 8,
};

struct TShapeCommand {
  std::uint8_t kind = 0;  // a TShapeCommandKind; larger values are skipped on replay
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0, x3 = 0, y3 = 0;
};

class TPDFGenericShape {
 public:
  TPDFGenericShape();

  void AddMoveTo(double x, double y);
  void AddLineTo(double x, double y);
  void AddCurveTo(double x1, double y1, double x2, double y2, double x3, double y3);
  void AddQuadTo(double x1, double y1, double x2, double y2);
  void AddClosePath();
  // Appends any command; used for the painting kinds that no Add* records.
  void AddCommand(const TShapeCommand& command);

  const std::vector<TShapeCommand>& Commands() const { return m_commands; }
  std::size_t Count() const { return m_commands.size(); }
  std::size_t Capacity() const { return m_capacity; }

 private:
  static constexpr std::size_t kGrowth = 20;
  std::vector<TShapeCommand> m_commands;
  std::size_t m_capacity = 0;
};

// Maps every point through m and calls the canvas operation of each command in order. It
// neither begins nor paints a path by itself unless the shape holds such commands.
void ReplayShape(TPDFGenericCanvas& canvas, const TPDFGenericShape& shape, const TPDFMatrix& m);

}  // namespace kestrel
