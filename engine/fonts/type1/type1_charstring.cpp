#include "engine/fonts/type1/type1_charstring.h"

#include <cmath>
#include <cstdint>

#include "engine/fonts/type1/cff_standard_data.h"
#include "engine/fonts/font_limits.h"
#include "engine/fonts/type1/charstring_machine.h"

namespace kestrel {
namespace {

class TType1Interpreter : TCharstringMachine {
 public:
  TType1Interpreter(const TType1Program& program, TGlyphOutline& out, int& operators)
      : TCharstringMachine(out, operators), m_program(program) {}

  // Runs glyph `index` with its origin at (ox, oy); accents only when allowSeac.
  TRun RunGlyph(int index, double ox, double oy, bool allowSeac) {
    const std::string_view code = m_program.CharString(index);
    if (code.empty()) return TRun::Fault;
    m_ox = m_x = ox;
    m_oy = m_y = oy;
    m_allowSeac = allowSeac;
    const TRun r = Run(code, 0);
    m_out.ClosePath();
    return r;
  }

 private:
  double Arg(int i) const { return i < m_sp ? m_stack[i] : 0; }

  void RMove(double dx, double dy) {
    if (!m_flexing) return MovePen(dx, dy);
    // Flex points are collected, not drawn.
    m_x += dx;
    m_y += dy;
    if (m_flexCount < 7) m_flex[m_flexCount++] = {m_x, m_y};
  }

  TRun Seac() {
    const double asb = Arg(0), adx = Arg(1), ady = Arg(2);
    const int bchar = static_cast<int>(Arg(3)), achar = static_cast<int>(Arg(4));
    m_sp = 0;
    if (!m_allowSeac) return TRun::End;
    const int base = m_program.GlyphOfName(StandardEncodingName(bchar));
    const int accent = m_program.GlyphOfName(StandardEncodingName(achar));
    if (base >= 0) {
      TType1Interpreter b(m_program, m_out, m_operators);
      if (b.RunGlyph(base, m_ox, m_oy, false) == TRun::Fault) return TRun::Fault;
    }
    if (accent >= 0) {
      // The accent's side bearing point lands at the base origin plus (adx, ady).
      TType1Interpreter a(m_program, m_out, m_operators);
      if (a.RunGlyph(accent, m_ox + adx - asb, m_oy + ady, false) == TRun::Fault) return TRun::Fault;
    }
    return TRun::End;
  }

  void CallOtherSubr() {
    const int which = static_cast<int>(Pop());
    int n = static_cast<int>(Pop());
    if (n < 0 || n > m_sp) n = std::max(0, std::min(n, m_sp));
    double args[limits::kMaxCharstringStack];
    for (int k = 0; k < n; ++k) args[k] = m_stack[m_sp - n + k];
    m_sp -= n;
    m_resultCount = m_resultNext = 0;
    switch (which) {
      case 0:  // end of flex: two curves through the seven collected points
        if (m_flexing && m_flexCount == 7) {
          const TPDFPoint* p = m_flex;
          m_out.CurveTo(p[1].x, p[1].y, p[2].x, p[2].y, p[3].x, p[3].y);
          m_out.CurveTo(p[4].x, p[4].y, p[5].x, p[5].y, p[6].x, p[6].y);
          m_x = p[6].x;
          m_y = p[6].y;
        }
        m_flexing = false;
        if (n >= 3) {
          m_results[m_resultCount++] = args[1];
          m_results[m_resultCount++] = args[2];
        }
        break;
      case 1:
        m_flexing = true;
        m_flexCount = 0;
        break;
      case 2:
        break;
      case 3:  // hint replacement: callsubr then calls subroutine 3, which only returns
        m_results[m_resultCount++] = 3;
        break;
      default:  // anything else hands its arguments back, first argument first
        for (int k = 0; k < n; ++k) m_results[m_resultCount++] = args[k];
        break;
    }
  }

  TRun Run(std::string_view code, int depth) {
    if (depth > limits::kMaxSubrDepth) return TRun::Fault;
    std::size_t pos = 0;
    while (pos < code.size()) {
      const int v = static_cast<unsigned char>(code[pos++]);
      if (v >= 32) {
        double value;
        if (v <= 246) {
          value = v - 139;
        } else if (v <= 254) {
          if (pos >= code.size()) return TRun::Fault;
          const int w = static_cast<unsigned char>(code[pos++]);
          value = v <= 250 ? (v - 247) * 256 + w + 108 : -(v - 251) * 256 - w - 108;
        } else {
          if (code.size() - pos < 4) return TRun::Fault;
          std::uint32_t u = 0;
          for (int k = 0; k < 4; ++k) u = (u << 8) | static_cast<unsigned char>(code[pos + k]);
          pos += 4;
          value = static_cast<std::int32_t>(u);
        }
        if (!Push(value)) return TRun::Fault;
        continue;
      }
      if (++m_operators > limits::kMaxCharstringOperators || m_out.Full()) return TRun::Fault;
      switch (v) {
        case 13:  // hsbw
          m_x = m_ox + Arg(0);
          m_y = m_oy;
          m_sp = 0;
          break;
        case 21: RMove(Arg(0), Arg(1)); m_sp = 0; break;
        case 22: RMove(Arg(0), 0); m_sp = 0; break;
        case 4: RMove(0, Arg(0)); m_sp = 0; break;
        case 5: RLine(Arg(0), Arg(1)); m_sp = 0; break;
        case 6: RLine(Arg(0), 0); m_sp = 0; break;
        case 7: RLine(0, Arg(0)); m_sp = 0; break;
        case 8: RCurve(Arg(0), Arg(1), Arg(2), Arg(3), Arg(4), Arg(5)); m_sp = 0; break;
        case 30: RCurve(0, Arg(0), Arg(1), Arg(2), Arg(3), 0); m_sp = 0; break;
        case 31: RCurve(Arg(0), 0, Arg(1), Arg(2), 0, Arg(3)); m_sp = 0; break;
        case 9: m_out.ClosePath(); m_sp = 0; break;
        case 10: {
          const std::string_view subr = m_program.Subr(Pop());
          if (subr.empty()) return TRun::Fault;
          const TRun r = Run(subr, depth + 1);
          if (r != TRun::Continue) return r;
          break;
        }
        case 11: return TRun::Continue;
        case 14: m_sp = 0; return TRun::End;
        case 12: {
          if (pos >= code.size()) return TRun::Fault;
          const int op = static_cast<unsigned char>(code[pos++]);
          if (op == 6) return Seac();
          if (op == 7) {  // sbw
            m_x = m_ox + Arg(0);
            m_y = m_oy + Arg(1);
            m_sp = 0;
          } else if (op == 12) {
            const double b = Pop(), a = Pop();
            Push(b == 0 ? 0 : a / b);
          } else if (op == 16) {
            CallOtherSubr();
          } else if (op == 17) {
            if (!Push(m_resultNext < m_resultCount ? m_results[m_resultNext++] : 0)) return TRun::Fault;
          } else if (op == 33) {  // setcurrentpoint
            m_x = m_ox + Arg(0);
            m_y = m_oy + Arg(1);
            m_sp = 0;
          } else {
            m_sp = 0;  // dotsection, vstem3, hstem3 and unknown operators
          }
          break;
        }
        default:
          m_sp = 0;  // stem hints and unknown operators draw nothing
          break;
      }
    }
    return TRun::Continue;
  }

  const TType1Program& m_program;
  double m_results[limits::kMaxCharstringStack] = {};
  int m_resultCount = 0, m_resultNext = 0;
  double m_ox = 0, m_oy = 0;
  bool m_flexing = false;
  TPDFPoint m_flex[7];
  int m_flexCount = 0;
  bool m_allowSeac = true;
};

}  // namespace

bool DrawType1Glyph(const TType1Program& program, int index, TGlyphOutline& out) {
  int operators = 0;
  TType1Interpreter interpreter(program, out, operators);
  return interpreter.RunGlyph(index, 0, 0, true) == TRun::End;
}

}  // namespace kestrel
