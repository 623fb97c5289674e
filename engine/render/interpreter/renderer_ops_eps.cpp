// The EPS target: painting, colours and line state written as lines of the EPS writer. The
// path itself reaches the writer through its canvas operations (EmitPath), in user space.
#include <cmath>

#include "engine/graphics/format_decimal.h"
#include "engine/render/interpreter/renderer_interpreter.h"

namespace kestrel {

namespace {

// A custom colour text that PostScript can run: one tint, and a colorant name that needs no
// escaping inside (…). Anything else (a DeviceN with several tints, a name with parentheses or
// backslashes) would stop the whole file with an error.
bool UsableCustomColor(const std::string& text) {
  constexpr std::string_view kFind = ") findcmykcustomcolor ";
  const std::size_t open = text.find('(');
  const std::size_t close = text.find(kFind);
  if (open == std::string::npos || close == std::string::npos || close < open) return false;
  for (std::size_t i = open + 1; i < close; ++i) {
    const auto ch = static_cast<unsigned char>(text[i]);
    if (ch == '(' || ch == ')' || ch == '\\' || ch < 32 || ch > 126) return false;
  }
  // Exactly one number between the find and "setcustomcolor".
  std::string_view rest(text);
  rest.remove_prefix(close + kFind.size());
  const std::size_t space = rest.find(' ');
  return space != std::string_view::npos && rest.substr(space + 1) == "setcustomcolor" &&
         rest.substr(0, space).find_first_not_of("0123456789.-") == std::string_view::npos;
}

}  // namespace

std::string TContentInterpreter::ColorTextEPS(bool stroke) const {
  const std::string& text = stroke ? gs_.StrokeText : gs_.FillText;
  if (!text.empty() && (text.find("findcmykcustomcolor") == std::string::npos ||
                        UsableCustomColor(text))) {
    return text;
  }
  // No text of its own (the default black, a colour taken from a shading) or an unusable one:
  // the colour as it is painted on the raster targets.
  const TPackedColor c = stroke ? gs_.StrokeColor : gs_.FillColor;
  std::string out;
  for (const int v : {PackedRed(c), PackedGreen(c), PackedBlue(c)}) {
    out += FormatDecimal(3, v / 255.0);
    out += ' ';
  }
  return out + "setrgbcolor";
}

void TContentInterpreter::PaintEPS(bool fill, bool stroke, int fillRule) {
  // Transparency has no form here: alpha is ignored. A shading pattern fills as a picture
  // clipped by the path; other patterns paint in the colour that stands for them.
  EmitPath(path_);
  const int clip = clipRule_;
  // A clip applies after the painting: the painting runs in q … Q, which keeps the path.
  if (clip) eps_->SaveState();
  const char* fillOp = fillRule == kFillRuleEvenOdd ? "f*" : "f";
  if (fill && gs_.FillPattern && FillWithShadingPatternEPS(fillRule)) {
    // The picture is drawn in q … Q too: the path is still there for the stroke or clip.
    fill = false;
    if (!stroke && !clip) eps_->AddLine("n");
  }
  if (fill && stroke) {
    eps_->SaveState();
    eps_->SetColor(ColorTextEPS(false));
    eps_->AddLine(fillOp);
    eps_->RestoreState();
    eps_->SetColor(ColorTextEPS(true));
    eps_->AddLine("s");
  } else if (fill) {
    eps_->SetColor(ColorTextEPS(false));
    eps_->AddLine(fillOp);
  } else if (stroke) {
    eps_->SetColor(ColorTextEPS(true));
    eps_->AddLine("s");
  }
  if (clip) {
    eps_->RestoreState();
    eps_->AddLine(clip == kFillRuleEvenOdd ? "W*" : "W");
    eps_->AddLine("n");
    NoteClip(PathBox(path_));
  }
  ResetPath();
}

void TContentInterpreter::WriteDashEPS() {
  // PostScript refuses negative lengths and a pattern of zeros: those draw solid lines.
  bool usable = std::isfinite(gs_.DashPhase);
  bool anyLength = false;
  for (const double d : gs_.DashArray) {
    usable = usable && std::isfinite(d) && d >= 0;
    anyLength = anyLength || d > 0;
  }
  std::string line = "[";
  if (usable && anyLength) {
    for (std::size_t i = 0; i < gs_.DashArray.size(); ++i) {
      if (i) line += ' ';
      line += EPSNumber(gs_.DashArray[i]);
    }
  }
  line += "] " + EPSNumber(usable && anyLength ? gs_.DashPhase : 0) + " setdash";
  eps_->AddLine(std::move(line));
}

void TContentInterpreter::WriteLineStateEPS(const TPDFGraphicsState& before) {
  // Only values PostScript accepts are written (others stop the file with a range error).
  if (gs_.LineWidth != before.LineWidth) eps_->AddLine(EPSLine({gs_.LineWidth}, "w"));
  if (gs_.LineCap != before.LineCap && gs_.LineCap >= 0 && gs_.LineCap <= 2)
    eps_->AddLine(std::to_string(gs_.LineCap) + " J");
  if (gs_.LineJoin != before.LineJoin && gs_.LineJoin >= 0 && gs_.LineJoin <= 2)
    eps_->AddLine(std::to_string(gs_.LineJoin) + " j");
  if (gs_.MiterLimit != before.MiterLimit && gs_.MiterLimit >= 1)
    eps_->AddLine(EPSLine({gs_.MiterLimit}, "M"));
}

void TContentInterpreter::WriteMatrixEPS(const TPDFMatrix& m) {
  eps_->AddLine("[ " + EPSLine({m.a, m.b, m.c, m.d, m.e, m.f}, "] cm"));
  MatrixMultiply(gs_.EPSMatrix, EPSWrittenMatrix(m), gs_.EPSMatrix);
  r_.EPSMatrix = gs_.EPSMatrix;
}

}  // namespace kestrel
