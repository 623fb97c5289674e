#include "engine/render/interpreter/renderer_operators.h"

namespace kestrel {

namespace {

using Op = TContentOp;

Op OneByte(char a) {
  switch (a) {
    case 'q': return Op::Save;
    case 'Q': return Op::Restore;
    case 'w': return Op::LineWidth;
    case 'J': return Op::LineCap;
    case 'j': return Op::LineJoin;
    case 'M': return Op::MiterLimit;
    case 'd': return Op::Dash;
    case 'm': return Op::MoveTo;
    case 'l': return Op::LineTo;
    case 'c': return Op::CurveTo;
    case 'v': return Op::CurveToV;
    case 'y': return Op::CurveToY;
    case 'h': return Op::ClosePath;
    case 'S': return Op::Stroke;
    case 's': return Op::CloseStroke;
    case 'f': case 'F': return Op::Fill;
    case 'B': return Op::FillStroke;
    case 'b': return Op::CloseFillStroke;
    case 'n': return Op::EndPath;
    case 'W': return Op::Clip;
    case 'g': return Op::FillGray;
    case 'k': return Op::FillCMYK;
    case 'G': return Op::StrokeGray;
    case 'K': return Op::StrokeCMYK;
    case '\'': return Op::NextLineShow;
    case '"': return Op::SpacingNextLineShow;
    case '[': return Op::Group;
    default: return Op::None;
  }
}

Op TwoBytes(char a, char b) {
  switch (a) {
    case 'c': return b == 'm' ? Op::Concat : b == 's' ? Op::FillSpace : Op::None;
    case 'g': return b == 's' ? Op::ExtGState : Op::None;
    case 'd': return b == '1' ? Op::GlyphBox : Op::None;
    case 'r': return b == 'e' ? Op::Rectangle : b == 'g' ? Op::FillRGB
                   : b == 'i' ? Op::Intent : Op::None;
    case 'f': return b == '*' ? Op::FillEvenOdd : Op::None;
    case 'B': return b == '*' ? Op::FillStrokeEvenOdd : b == 'T' ? Op::BeginText
                   : b == 'I' ? Op::InlineImage : Op::None;
    case 'b': return b == '*' ? Op::CloseFillStrokeEvenOdd : Op::None;
    case 'W': return b == '*' ? Op::ClipEvenOdd : Op::None;
    case 'E': return b == 'T' ? Op::EndText : Op::None;
    case 'R': return b == 'G' ? Op::StrokeRGB : Op::None;
    case 'C': return b == 'S' ? Op::StrokeSpace : Op::None;
    case 's': return b == 'c' ? Op::FillColor : b == 'h' ? Op::Shading : Op::None;
    case 'S': return b == 'C' ? Op::StrokeColor : Op::None;
    case 'D': return b == 'o' ? Op::XObject : Op::None;
    case 'T':
      switch (b) {
        case 'c': return Op::CharSpacing;
        case 'w': return Op::WordSpacing;
        case 'L': return Op::Leading;
        case 's': return Op::Rise;
        case 'z': return Op::HorizontalScaling;
        case 'r': return Op::RenderMode;
        case 'f': return Op::Font;
        case 'd': return Op::MoveText;
        case 'D': return Op::MoveTextLeading;
        case 'm': return Op::TextMatrix;
        case '*': return Op::NextLine;
        case 'j': return Op::ShowText;
        case 'J': return Op::ShowArray;
        default: return Op::None;
      }
    default: return Op::None;
  }
}

Op ThreeBytes(TByteView t) {
  if (t == "scn") return Op::FillColor;
  if (t == "SCN") return Op::StrokeColor;
  if (t == "BMC") return Op::MarkedContent;
  if (t == "BDC") return Op::MarkedContentProperties;
  if (t == "EMC") return Op::EndMarkedContent;
  return Op::None;
}

}  // namespace

TContentOp LookupOperator(TByteView token) {
  switch (token.size()) {
    case 1: return OneByte(token[0]);
    case 2: return TwoBytes(token[0], token[1]);
    case 3: return ThreeBytes(token);
    default: return Op::None;
  }
}

}  // namespace kestrel
