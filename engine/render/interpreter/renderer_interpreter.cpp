// The token loop and the operator dispatch.
#include "engine/graphics/graphics_limits.h"
#include "engine/render/interpreter/renderer_interpreter.h"

#include <stdexcept>

#include "engine/render/interpreter/renderer_operators.h"
#include "engine/syntax/string_decode.h"

namespace kestrel {

TContentInterpreter::TContentInterpreter(TPDFRenderer& renderer, TPDFGenericCanvas& canvas,
                                         TByteView content, TPDFDictionary* resources)
    : r_(renderer), canvas_(canvas), eps_(renderer.EPSTarget()), tokens_(content),
      resources_(resources) {
  if (r_.SavedState) {
    gs_ = std::move(*r_.SavedState);
    r_.SavedState.reset();
  } else {
    if (r_.TargetWidth > 0 && r_.TargetHeight > 0) gs_.ClipBox = TargetBox();
    // Layers open before this content began (the page's own) are not its to close.
    gs_.MaskLayers = r_.OpenLayers;
  }
  glyphUncoloured_ = r_.StartUncoloured;
  r_.StartUncoloured = false;
  gs_.CTM = r_.CTM;
  baseMatrix_ = r_.CTM;
  gs_.EPSMatrix = r_.EPSMatrix;
  epsBaseMatrix_ = r_.EPSMatrix;
  canvas_.SetBlendMode(gs_.BlendMode);
  canvas_.SetAlphaIsShape(gs_.AlphaIsShape);
  r_.ColorManager().Intent = gs_.Intent;
}

void TContentInterpreter::Run() {
  for (;;) {
    const TByteView token = tokens_.Next();
    if (token.empty()) return;
    if (r_.TokenBudget == 0) throw std::length_error("the page needs too many operations");
    --r_.TokenBudget;
    if (eps_ && eps_->Full()) throw std::length_error("the EPS page is too large");
    const TContentOp op = LookupOperator(token);
    if (op == TContentOp::None) {
      operands_.Push(token);
    } else {
      Execute(op);
    }
  }
}

void TContentInterpreter::ReadGroup() {
  // Every token up to "]" is an operand, brackets excluded.
  std::size_t count = 0;
  for (;;) {
    const TByteView token = tokens_.Next();
    if (token.empty() || token == "]") break;
    if (r_.TokenBudget == 0) throw std::length_error("the page needs too many operations");
    --r_.TokenBudget;
    operands_.Push(token);
    ++count;
  }
  itemCount_ = std::min(count, operands_.Size());
}

void TContentInterpreter::Execute(TContentOp op) {
  using Op = TContentOp;
  switch (op) {
    case Op::None: return;
    case Op::Group: ReadGroup(); return;

    case Op::Save: SaveState(); return;
    case Op::Restore: RestoreState(); return;
    case Op::Concat: ConcatMatrix(); return;
    case Op::LineWidth: {
      const double w = operands_.PopNumber();
      // PostScript's 0 w is the thinnest line the device draws, as 72 / dpi is here.
      if (eps_) eps_->AddLine(EPSLine({w}, "w"));
      gs_.LineWidth = w == 0 ? limits::kPointsPerInch / (r_.Resolution == 0 ? 1 : r_.Resolution) : w;
      return;
    }
    case Op::LineCap:
    case Op::LineJoin:
    case Op::MiterLimit: {
      const TPDFGraphicsState before = eps_ ? gs_ : TPDFGraphicsState{};
      const double v = operands_.PopNumber();
      if (op == Op::LineCap) gs_.LineCap = RoundToInt(v);
      if (op == Op::LineJoin) gs_.LineJoin = RoundToInt(v);
      if (op == Op::MiterLimit) gs_.MiterLimit = v;
      if (eps_) WriteLineStateEPS(before);
      return;
    }
    case Op::Dash:
      SetDash();
      if (eps_) WriteDashEPS();
      return;
    case Op::ExtGState: {
      if (!eps_) {
        ApplyExtGState();
        return;
      }
      const TPDFGraphicsState before = gs_;
      ApplyExtGState();
      WriteLineStateEPS(before);
      if (gs_.DashArray != before.DashArray || gs_.DashPhase != before.DashPhase) WriteDashEPS();
      return;
    }
    case Op::GlyphBox: glyphUncoloured_ = true; return;
    case Op::Intent: SetIntent(DecodeNameOperand(operands_.PopText())); return;

    case Op::MoveTo: MoveTo(); return;
    case Op::LineTo: LineTo(); return;
    case Op::CurveTo: CurveTo('c'); return;
    case Op::CurveToV: CurveTo('v'); return;
    case Op::CurveToY: CurveTo('y'); return;
    case Op::ClosePath: ClosePath(); return;
    case Op::Rectangle: Rectangle(); return;

    case Op::Stroke: Paint(false, false, true, 0); return;
    case Op::CloseStroke: Paint(true, false, true, 0); return;
    case Op::Fill: Paint(false, true, false, kFillRuleNonZero); return;
    case Op::FillEvenOdd: Paint(false, true, false, kFillRuleEvenOdd); return;
    case Op::FillStroke: Paint(false, true, true, kFillRuleNonZero); return;
    case Op::FillStrokeEvenOdd: Paint(false, true, true, kFillRuleEvenOdd); return;
    case Op::CloseFillStroke: Paint(true, true, true, kFillRuleNonZero); return;
    case Op::CloseFillStrokeEvenOdd: Paint(true, true, true, kFillRuleEvenOdd); return;
    case Op::EndPath: EndPath(); return;
    case Op::Clip: MarkClip(kFillRuleNonZero); return;
    case Op::ClipEvenOdd: MarkClip(kFillRuleEvenOdd); return;

    case Op::FillGray: SetDeviceColor(false, kDeviceGray); return;
    case Op::FillRGB: SetDeviceColor(false, kDeviceRGB); return;
    case Op::FillCMYK: SetDeviceColor(false, kDeviceCMYK); return;
    case Op::StrokeGray: SetDeviceColor(true, kDeviceGray); return;
    case Op::StrokeRGB: SetDeviceColor(true, kDeviceRGB); return;
    case Op::StrokeCMYK: SetDeviceColor(true, kDeviceCMYK); return;
    case Op::FillSpace: SetColorSpace(false); return;
    case Op::StrokeSpace: SetColorSpace(true); return;
    case Op::FillColor: SetColor(false); return;
    case Op::StrokeColor: SetColor(true); return;
    case Op::Shading: PaintShading(); return;

    case Op::BeginText: BeginText(); return;
    case Op::EndText: EndText(); return;
    case Op::CharSpacing: gs_.CharSpacing = operands_.PopNumber(); return;
    case Op::WordSpacing: gs_.WordSpacing = operands_.PopNumber(); return;
    case Op::Leading: gs_.Leading = operands_.PopNumber(); return;
    case Op::Rise: gs_.Rise = operands_.PopNumber(); return;
    case Op::HorizontalScaling: gs_.HorizontalScaling = operands_.PopNumber(); return;
    case Op::RenderMode: gs_.RenderMode = RoundToInt(operands_.PopNumber()); return;
    case Op::Font: {
      gs_.FontSize = operands_.PopNumber();
      gs_.FontName.assign(operands_.PopText());
      SelectFont();
      return;
    }
    case Op::MoveText: {
      const double ty = operands_.PopNumber();
      MoveText(operands_.PopNumber(), ty);
      return;
    }
    case Op::MoveTextLeading: {
      const double ty = operands_.PopNumber();
      const double tx = operands_.PopNumber();
      gs_.Leading = -ty;
      MoveText(tx, ty);
      return;
    }
    case Op::TextMatrix: {
      double m[6];
      for (int i = 5; i >= 0; --i) m[i] = operands_.PopNumber();
      gs_.Tm = gs_.Tlm = TPDFMatrix{m[0], m[1], m[2], m[3], m[4], m[5]};
      return;
    }
    case Op::NextLine: NextLine(); return;
    case Op::ShowText: ShowText(1); return;
    case Op::ShowArray: ShowText(itemCount_); return;
    case Op::NextLineShow:
      NextLine();
      ShowText(1);
      return;
    case Op::SpacingNextLineShow: {
      const TByteView text = operands_.PopText();
      const double ac = operands_.PopNumber();
      const double aw = operands_.PopNumber();
      NextLine();
      gs_.WordSpacing = aw;
      gs_.CharSpacing = ac;
      operands_.Push(text);
      ShowText(1);
      return;
    }

    case Op::XObject: DoXObject(); return;
    case Op::InlineImage: DrawInlineImage(); return;
    case Op::MarkedContent: BeginMarkedContent(false); return;
    case Op::MarkedContentProperties: BeginMarkedContent(true); return;
    case Op::EndMarkedContent: EndMarkedContent(); return;
  }
}

}  // namespace kestrel
