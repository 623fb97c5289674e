#include "engine/fonts/type1/type2_charstring.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "engine/fonts/font_limits.h"
#include "engine/fonts/type1/charstring_machine.h"

namespace kestrel {
namespace {

int SubrBias(std::size_t count) {
  if (count < 1240) return 107;
  if (count < 33900) return 1131;
  return 32768;
}

class TType2Interpreter : TCharstringMachine {
 public:
  TType2Interpreter(const TCFFProgram& program, TGlyphOutline& out, int& operators)
      : TCharstringMachine(out, operators), m_program(program) {}

  // Runs glyph gid with its points shifted by (dx, dy); accents only when allowSeac.
  TRun RunGlyph(int gid, double dx, double dy, bool allowSeac) {
    const std::string_view code = m_program.CharString(gid);
    if (code.empty()) return TRun::Fault;
    m_local = &m_program.FontDictOf(gid).Subrs;
    m_x = m_x0 = dx;
    m_y = m_y0 = dy;
    m_allowSeac = allowSeac;
    const TRun r = Run(code, 0);
    m_out.ClosePath();
    return r == TRun::Fault ? TRun::Fault : TRun::End;
  }

 private:
  // The advance width is the extra first operand of the glyph's first stack-clearing
  // operator; it is not needed for drawing, only skipped.
  int TakeWidth(bool hasExtra) {
    if (!m_widthPending) return 0;
    m_widthPending = false;
    return hasExtra && m_sp > 0 ? 1 : 0;
  }

  void RMove(double dx, double dy) { MovePen(dx, dy); }

  void Stems(bool hasWidthSlot) {
    const int b = TakeWidth(hasWidthSlot && (m_sp % 2) == 1);
    m_stems += (m_sp - b) / 2;
  }

  // Alternating horizontal and vertical lines, starting horizontal when `horizontal`.
  void AlternatingLines(bool horizontal) {
    for (int i = 0; i < m_sp; ++i, horizontal = !horizontal)
      horizontal ? RLine(m_stack[i], 0) : RLine(0, m_stack[i]);
  }

  // vhcurveto / hvcurveto: curves alternating between vertical and horizontal starts.
  void AlternatingCurves(bool horizontal) {
    int i = 0;
    while (m_sp - i >= 4) {
      const bool last = m_sp - i == 5;
      const double extra = last ? m_stack[i + 4] : 0;
      const double* a = &m_stack[i];
      if (horizontal) RCurve(a[0], 0, a[1], a[2], extra, a[3]);
      else RCurve(0, a[0], a[1], a[2], a[3], extra);
      i += last ? 5 : 4;
      horizontal = !horizontal;
    }
  }

  void Flex(const double* d) {  // twelve relative coordinates, depth ignored
    RCurve(d[0], d[1], d[2], d[3], d[4], d[5]);
    RCurve(d[6], d[7], d[8], d[9], d[10], d[11]);
  }

  TRun Seac(int base) {
    // endchar adx ady bchar achar: a base glyph and an accent shifted by (adx, ady).
    const double adx = m_stack[base], ady = m_stack[base + 1];
    const int bchar = static_cast<int>(m_stack[base + 2]), achar = static_cast<int>(m_stack[base + 3]);
    m_sp = 0;
    if (!m_allowSeac) return TRun::End;
    const int bg = m_program.GlyphOfStandardCode(bchar), ag = m_program.GlyphOfStandardCode(achar);
    const double ox = m_x0, oy = m_y0;
    if (bg >= 0) {
      TType2Interpreter b(m_program, m_out, m_operators);
      if (b.RunGlyph(bg, ox, oy, false) == TRun::Fault) return TRun::Fault;
    }
    if (ag >= 0) {
      TType2Interpreter a(m_program, m_out, m_operators);
      if (a.RunGlyph(ag, ox + adx, oy + ady, false) == TRun::Fault) return TRun::Fault;
    }
    return TRun::End;
  }

  TRun Escape(int op) {
    double a, b;
    switch (op) {
      case 3: b = Pop(); a = Pop(); Push(a != 0 && b != 0 ? 1 : 0); return TRun::Continue;
      case 4: b = Pop(); a = Pop(); Push(a != 0 || b != 0 ? 1 : 0); return TRun::Continue;
      case 5: a = Pop(); Push(a == 0 ? 1 : 0); return TRun::Continue;
      case 9: a = Pop(); Push(std::fabs(a)); return TRun::Continue;
      case 10: b = Pop(); a = Pop(); Push(a + b); return TRun::Continue;
      case 11: b = Pop(); a = Pop(); Push(a - b); return TRun::Continue;
      case 12: b = Pop(); a = Pop(); Push(b == 0 ? 0 : a / b); return TRun::Continue;
      case 14: a = Pop(); Push(-a); return TRun::Continue;
      case 15: b = Pop(); a = Pop(); Push(a == b ? 1 : 0); return TRun::Continue;
      case 18: Pop(); return TRun::Continue;
      case 20: {
        const double i = Pop(), v = Pop();
        if (i >= 0 && i < 32) m_transient[static_cast<int>(i)] = v;
        return TRun::Continue;
      }
      case 21: {
        const double i = Pop();
        Push(i >= 0 && i < 32 ? m_transient[static_cast<int>(i)] : 0);
        return TRun::Continue;
      }
      case 22: {
        const double v2 = Pop(), v1 = Pop(), s2 = Pop(), s1 = Pop();
        Push(v1 <= v2 ? s1 : s2);
        return TRun::Continue;
      }
      case 23:  // random: any value in (0, 1]; a fixed sequence keeps output reproducible
        m_seed = m_seed * 1103515245u + 12345u;
        Push(((m_seed >> 8) % 65535 + 1) / 65536.0);
        return TRun::Continue;
      case 24: b = Pop(); a = Pop(); Push(a * b); return TRun::Continue;
      case 26: a = Pop(); Push(a < 0 ? 0 : std::sqrt(a)); return TRun::Continue;
      case 27: a = Pop(); Push(a); Push(a); return TRun::Continue;
      case 28: b = Pop(); a = Pop(); Push(b); Push(a); return TRun::Continue;
      case 29: {
        const double i = Pop();
        const int k = i < 0 ? 0 : static_cast<int>(std::min(i, 64.0));
        Push(k < m_sp ? m_stack[m_sp - 1 - k] : 0);
        return TRun::Continue;
      }
      case 30: {
        const double jd = Pop(), nd = Pop();
        const int n = static_cast<int>(std::clamp(nd, 0.0, static_cast<double>(m_sp)));
        if (n > 0 && std::isfinite(jd)) {
          int j = static_cast<int>(std::fmod(jd, n));
          if (j < 0) j += n;
          double tmp[limits::kMaxCharstringStack];
          for (int k = 0; k < n; ++k) tmp[(k + j) % n] = m_stack[m_sp - n + k];
          for (int k = 0; k < n; ++k) m_stack[m_sp - n + k] = tmp[k];
        }
        return TRun::Continue;
      }
      default: break;
    }
    const double* s = m_stack;
    switch (op) {
      case 35:  // flex
        if (m_sp >= 12) Flex(s);
        break;
      case 34:  // hflex
        if (m_sp >= 7) {
          const double d[12] = {s[0], 0, s[1], s[2], s[3], 0, s[4], 0, s[5], -s[2], s[6], 0};
          Flex(d);
        }
        break;
      case 36:  // hflex1
        if (m_sp >= 9) {
          const double d[12] = {s[0], s[1], s[2], s[3], s[4], 0,
                                s[5], 0,    s[6], s[7], s[8], -(s[1] + s[3] + s[7])};
          Flex(d);
        }
        break;
      case 37:  // flex1
        if (m_sp >= 11) {
          double dx = 0, dy = 0;
          for (int k = 0; k < 10; k += 2) {
            dx += s[k];
            dy += s[k + 1];
          }
          const bool horizontal = std::fabs(dx) > std::fabs(dy);
          const double d[12] = {s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8], s[9],
                                horizontal ? s[10] : -dx, horizontal ? -dy : s[10]};
          Flex(d);
        }
        break;
      default:
        break;  // dotsection and reserved operators draw nothing
    }
    m_sp = 0;
    return TRun::Continue;
  }

  TRun Run(std::string_view code, int depth) {
    if (depth > limits::kMaxSubrDepth) return TRun::Fault;
    std::size_t pos = 0;
    while (pos < code.size()) {
      const int b0 = static_cast<unsigned char>(code[pos++]);
      if (b0 >= 32 || b0 == 28) {
        double v;
        if (b0 == 28) {
          if (code.size() - pos < 2) return TRun::Fault;
          v = static_cast<std::int16_t>((static_cast<unsigned char>(code[pos]) << 8) |
                                        static_cast<unsigned char>(code[pos + 1]));
          pos += 2;
        } else if (b0 <= 246) {
          v = b0 - 139;
        } else if (b0 <= 254) {
          if (pos >= code.size()) return TRun::Fault;
          const int b1 = static_cast<unsigned char>(code[pos++]);
          v = b0 <= 250 ? (b0 - 247) * 256 + b1 + 108 : -(b0 - 251) * 256 - b1 - 108;
        } else {
          if (code.size() - pos < 4) return TRun::Fault;
          std::uint32_t u = 0;
          for (int k = 0; k < 4; ++k) u = (u << 8) | static_cast<unsigned char>(code[pos + k]);
          pos += 4;
          v = static_cast<std::int32_t>(u) / 65536.0;
        }
        if (!Push(v)) return TRun::Fault;
        continue;
      }
      if (++m_operators > limits::kMaxCharstringOperators || m_out.Full()) return TRun::Fault;
      int b;
      switch (b0) {
        case 1: case 3: case 18: case 23:  // stem hints
          Stems(true);
          m_sp = 0;
          break;
        case 19: case 20: {  // hintmask, cntrmask: stems left on the stack count as vstems
          Stems(true);
          m_sp = 0;
          const std::size_t bytes = std::max(1, (m_stems + 7) / 8);
          if (code.size() - pos < bytes) return TRun::Fault;
          pos += bytes;
          break;
        }
        case 21:
          b = TakeWidth(m_sp > 2);
          if (m_sp - b >= 2) RMove(m_stack[b], m_stack[b + 1]);
          m_sp = 0;
          break;
        case 22:
        case 4:
          b = TakeWidth(m_sp > 1);
          if (m_sp - b >= 1) b0 == 22 ? RMove(m_stack[b], 0) : RMove(0, m_stack[b]);
          m_sp = 0;
          break;
        case 5:
          for (int i = 0; i + 1 < m_sp; i += 2) RLine(m_stack[i], m_stack[i + 1]);
          m_sp = 0;
          break;
        case 6:
        case 7:
          AlternatingLines(b0 == 6);
          m_sp = 0;
          break;
        case 8:
          for (int i = 0; i + 5 < m_sp; i += 6)
            RCurve(m_stack[i], m_stack[i + 1], m_stack[i + 2], m_stack[i + 3], m_stack[i + 4], m_stack[i + 5]);
          m_sp = 0;
          break;
        case 24: {  // rcurveline
          int i = 0;
          for (; m_sp - i >= 8; i += 6)
            RCurve(m_stack[i], m_stack[i + 1], m_stack[i + 2], m_stack[i + 3], m_stack[i + 4], m_stack[i + 5]);
          if (m_sp - i >= 2) RLine(m_stack[i], m_stack[i + 1]);
          m_sp = 0;
          break;
        }
        case 25: {  // rlinecurve
          int i = 0;
          for (; m_sp - i >= 8; i += 2) RLine(m_stack[i], m_stack[i + 1]);
          if (m_sp - i >= 6)
            RCurve(m_stack[i], m_stack[i + 1], m_stack[i + 2], m_stack[i + 3], m_stack[i + 4], m_stack[i + 5]);
          m_sp = 0;
          break;
        }
        case 26:    // vvcurveto
        case 27: {  // hhcurveto
          int i = 0;
          double first = 0;
          if (m_sp % 4 == 1) first = m_stack[i++];
          for (; m_sp - i >= 4; i += 4, first = 0) {
            const double* a = &m_stack[i];
            if (b0 == 26) RCurve(first, a[0], a[1], a[2], 0, a[3]);
            else RCurve(a[0], first, a[1], a[2], a[3], 0);
          }
          m_sp = 0;
          break;
        }
        case 30:
        case 31:
          AlternatingCurves(b0 == 31);
          m_sp = 0;
          break;
        case 10:
        case 29: {
          const TCFFIndex& subrs = b0 == 10 ? *m_local : m_program.GlobalSubrs();
          const double n = Pop();
          const double index = (std::isfinite(n) && n == std::floor(n) ? n : 0) + SubrBias(subrs.Count());
          if (index < 0 || index >= static_cast<double>(subrs.Count())) return TRun::Fault;
          const TRun r = Run(subrs.Item(static_cast<std::size_t>(index)), depth + 1);
          if (r != TRun::Continue) return r;
          break;
        }
        case 11:
          return TRun::Continue;
        case 14:
          b = TakeWidth(m_sp == 1 || m_sp == 5);
          if (m_sp - b >= 4) return Seac(m_sp - 4);
          m_sp = 0;
          return TRun::End;
        case 12: {
          if (pos >= code.size()) return TRun::Fault;
          const TRun r = Escape(static_cast<unsigned char>(code[pos++]));
          if (r != TRun::Continue) return r;
          break;
        }
        default:
          m_sp = 0;  // reserved operators
          break;
      }
    }
    return TRun::Continue;
  }

  const TCFFProgram& m_program;
  const TCFFIndex* m_local = nullptr;
  double m_transient[32] = {};
  double m_x0 = 0, m_y0 = 0;
  int m_stems = 0;
  bool m_widthPending = true;
  bool m_allowSeac = true;
  std::uint32_t m_seed = 1;
};

}  // namespace

bool DrawType2Glyph(const TCFFProgram& program, int gid, TGlyphOutline& out) {
  int operators = 0;
  TType2Interpreter interpreter(program, out, operators);
  return interpreter.RunGlyph(gid, 0, 0, true) == TRun::End;
}

}  // namespace kestrel
