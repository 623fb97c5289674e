// What the Type 1 and Type 2 charstring interpreters share: the operand stack and the pen that
// turns relative moves into outline points.
#pragma once

#include "engine/fonts/font_limits.h"
#include "engine/fonts/type1/glyph_outline.h"

namespace kestrel {

enum class TRun { Continue, End, Fault };

class TCharstringMachine {
 protected:
  TCharstringMachine(TGlyphOutline& out, int& operators) : m_out(out), m_operators(operators) {}

  bool Push(double v) {
    if (m_sp >= limits::kMaxCharstringStack) return false;
    m_stack[m_sp++] = v;
    return true;
  }
  double Pop() { return m_sp > 0 ? m_stack[--m_sp] : 0; }

  void MovePen(double dx, double dy) {
    m_x += dx;
    m_y += dy;
    m_out.MoveTo(m_x, m_y);
  }
  void RLine(double dx, double dy) {
    m_x += dx;
    m_y += dy;
    m_out.LineTo(m_x, m_y);
  }
  void RCurve(double dx1, double dy1, double dx2, double dy2, double dx3, double dy3) {
    const double x1 = m_x + dx1, y1 = m_y + dy1, x2 = x1 + dx2, y2 = y1 + dy2;
    m_x = x2 + dx3;
    m_y = y2 + dy3;
    m_out.CurveTo(x1, y1, x2, y2, m_x, m_y);
  }

  TGlyphOutline& m_out;
  int& m_operators;  // shared across nested glyphs (seac) to bound the total work
  double m_stack[limits::kMaxCharstringStack] = {};
  int m_sp = 0;
  double m_x = 0, m_y = 0;
};

}  // namespace kestrel
