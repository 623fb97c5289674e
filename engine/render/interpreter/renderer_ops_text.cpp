// Text: the text state operators, showing strings glyph by glyph and painting the glyph
// outlines by the text render mode. Glyph outlines are gathered as one path per show operator
// and painted like any path; clipping modes gather them for the whole text object, which
// clips at ET.
#include <cmath>
#include <cstdio>

#include "engine/fonts/type3_rasterizer.h"
#include "engine/render/interpreter/renderer_interpreter.h"
#include "engine/render/renderer_limits.h"
#include "engine/syntax/string_decode.h"

namespace kestrel {

namespace {

// The canvas glyph rasterisers draw onto: it appends their outlines (already in device
// space) to a path, quadratic segments as the equivalent cubics.
class TGlyphPathCanvas final : public TPDFGenericCanvas {
 public:
  explicit TGlyphPathCanvas(std::vector<TPathOp>& path) : path_(path) {}

  void BeginPath() override {}
  void MoveTo(double x, double y) override {
    if (!Room() || !Finite(x, y)) return;
    path_.push_back({TPathOpKind::Move, {{x, y}}});
    start_ = current_ = {x, y};
    open_ = true;
  }
  void LineTo(double x, double y) override {
    if (!open_ || !Room() || !Finite(x, y)) return;
    path_.push_back({TPathOpKind::Line, {{x, y}}});
    current_ = {x, y};
  }
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) override {
    if (!open_ || !Room() || !Finite(x1, y1) || !Finite(x2, y2) || !Finite(x3, y3)) return;
    path_.push_back({TPathOpKind::Curve, {{x1, y1}, {x2, y2}, {x3, y3}}});
    current_ = {x3, y3};
  }
  void QuadTo(double x1, double y1, double x2, double y2) override {
    const TPDFPoint p = current_;
    CurveTo(p.x + 2.0 / 3.0 * (x1 - p.x), p.y + 2.0 / 3.0 * (y1 - p.y),
            x2 + 2.0 / 3.0 * (x1 - x2), y2 + 2.0 / 3.0 * (y1 - y2), x2, y2);
  }
  void ClosePath() override {
    if (!open_ || !Room() || path_.empty() || path_.back().kind == TPathOpKind::Close) return;
    path_.push_back({TPathOpKind::Close, {}});
    current_ = start_;
  }
  void StrokePath() override {}
  void FillPath() override {}
  void FillStrokePath() override {}
  void DrawBitmap(const TCanvasBitmap&, double, double, double, double, double, double,
                  TImageSampling) override {}

 private:
  static bool Finite(double x, double y) { return std::isfinite(x) && std::isfinite(y); }
  bool Room() const { return path_.size() < limits::kMaxPathSegments; }

  std::vector<TPathOp>& path_;
  TPDFPoint start_{}, current_{};
  bool open_ = false;
};

// A glyph outline as the font's rasteriser draws it.
class TRasterizerOutline final : public TGlyphOutlineSource {
 public:
  TRasterizerOutline(TPDFFontRasterizer& rasterizer, std::string_view name)
      : rasterizer_(rasterizer), name_(name) {}
  void AddOutline(TPDFGenericCanvas& canvas, const TPDFMatrix& m) const override {
    rasterizer_.DrawGlyph(canvas, m, 0, 0, name_);
  }

 private:
  TPDFFontRasterizer& rasterizer_;
  std::string_view name_;
};

// The bytes of a string operand: (literal) or <hex>.
TBytes StringOperand(TByteView item) {
  if (item.size() >= 2 && item.front() == '(' && item.back() == ')')
    return DecodeLiteralBody(item.substr(1, item.size() - 2), false);
  TBytes out;
  int high = -1;
  for (const char ch : item.substr(1)) {
    const int v = HexValue(static_cast<unsigned char>(ch));
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<char>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) out.push_back(static_cast<char>(high * 16));
  return out;
}

}  // namespace

void TContentInterpreter::BeginText() {
  gs_.Tm = TPDFMatrix{};
  gs_.Tlm = TPDFMatrix{};
  textClip_.clear();
}

void TContentInterpreter::EndText() {
  // The glyphs of clipping render modes clip together, once the text object ends.
  if (textClip_.empty()) return;
  std::vector<TPathOp> saved;
  saved.swap(path_);
  const int savedRule = clipRule_;
  const bool savedOpen = pathOpen_;
  path_.swap(textClip_);
  clipRule_ = kFillRuleNonZero;
  EndPath();
  textClip_.clear();
  path_.swap(saved);
  clipRule_ = savedRule;
  pathOpen_ = savedOpen;
}

void TContentInterpreter::MoveText(double tx, double ty) {
  MatrixMultiply(gs_.Tlm, TPDFMatrix{1, 0, 0, 1, tx, ty}, gs_.Tlm);
  gs_.Tm = gs_.Tlm;
}

void TContentInterpreter::NextLine() { MoveText(0, -gs_.Leading); }

void TContentInterpreter::PaintText(std::vector<TPathOp>& glyphs) {
  const int mode = gs_.RenderMode;
  if (mode >= 4 && mode <= 7) {
    for (const TPathOp& op : glyphs) {
      if (textClip_.size() >= limits::kMaxPathSegments) break;
      textClip_.push_back(op);
    }
  }
  const bool fill = mode == 0 || mode == 2 || mode == 4 || mode == 6;
  const bool stroke = mode == 1 || mode == 2 || mode == 5 || mode == 6;
  if ((!fill && !stroke) || glyphs.empty()) return;
  // The glyphs are painted as a path of their own: a path under construction (or a pending
  // clip) outside the text stays as it was. Glyphs are not snapped to pixels.
  std::vector<TPathOp> saved;
  saved.swap(path_);
  const int savedRule = clipRule_;
  const bool savedOpen = pathOpen_;
  const bool savedAdjust = r_.StrokeAdjust;
  path_.swap(glyphs);
  clipRule_ = 0;
  pathOpen_ = true;
  r_.StrokeAdjust = false;
  Paint(false, fill, stroke, kFillRuleNonZero);
  r_.StrokeAdjust = savedAdjust;
  glyphs.clear();
  path_.swap(saved);
  clipRule_ = savedRule;
  pathOpen_ = savedOpen;
}

void TContentInterpreter::DrawType3Glyph(TPDFFontCollectionData& font, std::string_view name,
                                         const TPDFMatrix& glyph) {
  auto* t3 = static_cast<TPDFType3Rasterizer*>(font.Rasterizer.get());
  const TPDFStream* proc = t3->GetCharProc(name);
  // A glyph that shows text in a Type 3 font may nest only so deep.
  if (!proc || r_.Type3Depth >= limits::kMaxType3Depth || r_.NestingDepth >= limits::kMaxFormDepth)
    return;
  const std::shared_ptr<const TBytes> content = r_.DecodedContent(*proc);
  const TByteView text(*content);
  TPDFDictionary* outerInherited = r_.InheritedResources;
  r_.InheritedResources = resources_;
  const TPDFMatrix savedCTM = r_.CTM;
  SaveState();
  if (eps_) {
    eps_->SaveState();
    WriteMatrixEPS(glyph);
  } else {
    r_.CTM = glyph;
    gs_.CTM = glyph;
  }
  r_.SavedState = gs_;
  ++r_.Type3Depth;
  ++r_.NestingDepth;
  r_.Interpret(canvas_, t3->FontDictionary, &text, nullptr);
  --r_.NestingDepth;
  --r_.Type3Depth;
  r_.SavedState.reset();
  if (eps_) eps_->RestoreState();
  // The state comes back without selecting a font again: the procedure may have chosen others.
  if (!stack_.empty()) {
    gs_ = std::move(stack_.back());
    stack_.pop_back();
    canvas_.RestoreClip(gs_.Clip);
  }
  r_.CTM = savedCTM;
  gs_.CTM = savedCTM;
  r_.EPSMatrix = gs_.EPSMatrix;
  r_.InheritedResources = outerInherited;
  r_.FontCache().Reselect(&font);
}

void TContentInterpreter::ShowText(std::size_t items) {
  // The items are the last `items` operands: strings, and numbers that adjust the position.
  operands_.PopGroup(items, group_);
  itemCount_ = 0;
  TPDFFontCollection& fonts = r_.FontCache();
  TPDFFontCollectionData* font = fonts.CurrentFont();
  const double tfs = gs_.FontSize;
  if (!font || tfs == 0 || !std::isfinite(tfs)) return;
  const TPDFFontCollection::TPin pin(fonts, font);
  const double th = gs_.HorizontalScaling / 100;
  const double tc = gs_.CharSpacing, tw = gs_.WordSpacing;
  // Text space to the current space, and glyph space to text space (thousandths of an em for
  // outline fonts, the font matrix for Type 3 fonts).
  TPDFMatrix textToDevice;
  MatrixMultiply(textToDevice, gs_.Tm, r_.CTM);
  TPDFMatrix glyphToText{0.001, 0, 0, 0.001, 0, 0};
  auto* t3 = font->IsType3 ? static_cast<TPDFType3Rasterizer*>(font->Rasterizer.get()) : nullptr;
  if (t3) glyphToText = t3->FontMatrix;
  // A Type 3 width is in glyph space: its horizontal length through the font matrix.
  const double widthScale = t3 ? glyphToText.a : 0.001;
  // Outlines land in device space (on EPS, the user space the writer's own cm lines set).
  TGlyphPathCanvas collector(glyphPath_);
  glyphPath_.clear();
  const bool draw = Shows() && font->Rasterizer;
  // Plainly filled glyphs go to a canvas that keeps glyph pictures one by one; other modes,
  // patterns and Type 3 glyphs gather outlines into one path.
  const bool oneByOne = draw && !t3 && !eps_ && gs_.RenderMode == 0 && !gs_.FillPattern &&
                        canvas_.CachesGlyphs();
  if (oneByOne) ApplyFillSettings(kFillRuleNonZero);

  double x = 0;  // text space, horizontal scaling applied
  double y = 0;  // text space, vertical writing
  // gx, gy: where the glyph origin lies from the current point (vertical writing).
  auto place = [&](std::string_view name, double gx = 0, double gy = 0) {
    if (!draw) return;
    TPDFMatrix m;
    MatrixMultiply(m, glyphToText, TPDFMatrix{tfs * th, 0, 0, tfs, x + gx, y + gy + gs_.Rise});
    MatrixMultiply(m, m, textToDevice);
    if (!IsFiniteMatrix(m)) return;
    // Glyph origins land where pdftoppm puts them: on a whole pixel row, and on a quarter
    // pixel column (a whole one for glyphs of 40 pixels and more).
    if (r_.SnapGlyphOrigins && !eps_ && !t3 && m.b == 0 && m.c == 0) {
      m.f = std::floor(m.f);
      m.e = std::fabs(m.d) * 1000 < 40 ? std::floor(m.e * 4) / 4 : std::floor(m.e);
    }
    if (t3) {
      DrawType3Glyph(*font, name, m);
    } else if (oneByOne) {
      canvas_.FillGlyph(TGlyphKey{font->Serial, name, m},
                        TRasterizerOutline(*font->Rasterizer, name));
    } else {
      font->Rasterizer->DrawGlyph(collector, m, 0, 0, name);
    }
  };
  char cidName[32];
  for (const TByteView item : group_) {
    if (item.empty()) continue;
    const bool vertical = font->IsComposite && font->Vertical && font->VerticalMetrics;
    if (item.front() != '(' && item.front() != '<') {
      if (vertical) {
        y -= OperandNumber(item) / 1000 * tfs;
      } else {
        x -= OperandNumber(item) / 1000 * tfs * th;
      }
      continue;
    }
    const TBytes bytes = StringOperand(item);
    if (vertical) {
      // The glyph's position vector lands on the current point, which then moves down by the
      // vertical advance.
      const TPDFCIDVerticalMetrics& vm = *font->VerticalMetrics;
      font->StringToCodes(bytes, codes_);
      for (const TPDFCharCode& code : codes_) {
        const double w0 = font->CIDWidths ? font->CIDWidths->WidthOf(code.CID) : 1000;
        TPDFCIDVerticalMetrics::TMetric m{vm.DefaultW1, static_cast<int>(w0 / 2), vm.DefaultVy};
        if (auto it = vm.Metrics.find(code.CID); it != vm.Metrics.end()) m = it->second;
        const long gid = font->GlyphOfCID(code.CID);
        if (gid >= 0) {
          std::snprintf(cidName, sizeof cidName, "GID:%ld", gid);
          place(cidName, -m.Vx / 1000.0 * tfs * th, -m.Vy / 1000.0 * tfs);
        }
        double advance = m.W1 / 1000.0 * tfs + tc;
        if (font->OneByteCodes && code.Code == 32) advance += tw;
        y += advance;
      }
    } else if (font->IsComposite) {
      font->StringToCodes(bytes, codes_);
      for (const TPDFCharCode& code : codes_) {
        const long gid = font->GlyphOfCID(code.CID);
        if (gid >= 0) {
          std::snprintf(cidName, sizeof cidName, "GID:%ld", gid);
          place(cidName);
        }
        const double w = font->CIDWidths ? font->CIDWidths->WidthOf(code.CID) : 1000;
        double advance = w / 1000 * tfs + tc;
        if (font->OneByteCodes && code.Code == 32) advance += tw;
        x += advance * th;
      }
    } else {
      for (const unsigned char c : bytes) {
        place(font->GlyphNames[c]);
        double advance = font->Widths[c] * widthScale * tfs + tc;
        if (c == 32) advance += tw;
        x += advance * th;
      }
    }
  }
  if (std::isfinite(x) && std::isfinite(y)) MatrixMultiply(gs_.Tm, TPDFMatrix{1, 0, 0, 1, x, y}, gs_.Tm);
  PaintText(glyphPath_);
}

}  // namespace kestrel
