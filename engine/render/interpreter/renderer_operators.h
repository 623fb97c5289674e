#pragma once
// The content operators the renderer acts on. Every other token is an operand.
#include <cstdint>

#include "engine/syntax/bytes.h"

namespace kestrel {

enum class TContentOp : std::uint8_t {
  None,  // not an operator: pushed as an operand
  // graphics state
  Save, Restore, Concat, LineWidth, LineCap, LineJoin, MiterLimit, Dash, ExtGState, GlyphBox,
  // path construction
  MoveTo, LineTo, CurveTo, CurveToV, CurveToY, ClosePath, Rectangle,
  // painting and clipping
  Stroke, CloseStroke, Fill, FillEvenOdd, FillStroke, FillStrokeEvenOdd, CloseFillStroke,
  CloseFillStrokeEvenOdd, EndPath, Clip, ClipEvenOdd,
  // colour
  FillGray, FillRGB, FillCMYK, StrokeGray, StrokeRGB, StrokeCMYK, FillSpace, StrokeSpace,
  FillColor, StrokeColor, Shading, Intent,
  // text
  BeginText, EndText, CharSpacing, WordSpacing, Leading, Rise, HorizontalScaling, RenderMode, Font,
  MoveText, MoveTextLeading, TextMatrix, NextLine, ShowText, ShowArray, NextLineShow,
  SpacingNextLineShow,
  // objects and marked content
  XObject, InlineImage, MarkedContent, MarkedContentProperties, EndMarkedContent,
  // "[": an operand group
  Group,
};

TContentOp LookupOperator(TByteView token);

}  // namespace kestrel
