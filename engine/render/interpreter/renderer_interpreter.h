#pragma once
// Private to the renderer: one interpretation of one content text (a page, a form, a glyph
// procedure), with its own operand stack, state stack and flags. Operators are grouped by
// topic in renderer_ops_*.cpp.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/fonts/font_record.h"
#include "engine/graphics/canvas_path.h"
#include "engine/render/renderer.h"
#include "engine/render/interpreter/renderer_operands.h"
#include "engine/syntax/content_tokenizer.h"

namespace kestrel {

enum class TContentOp : std::uint8_t;
class TPDFShading;

// A shading painted into a bitmap, and the device rectangle the bitmap covers.
struct TShadingPicture {
  TCanvasBitmap Bitmap;
  double Left = 0, Top = 0, Right = 0, Bottom = 0;
  // Painted at a coarser step than the device's pixels (drawn smoothed).
  bool Scaled = false;
};

// The bounds of the rectangle x0 y0 x1 y1 mapped through m.
TDeviceBox TransformedBox(const TPDFMatrix& m, double x0, double y0, double x1, double y1);

// Rounded half to even and saturated to the int range; NaN gives 0.
int RoundToInt(double v);

// Whether an ExtGState of the resources, or of the forms they hold down to formDepth levels,
// sets a blend mode other than Normal.
bool UsesBlendModes(TPDFRenderer& r, TPDFDictionary* resources, int formDepth);

class TContentInterpreter {
 public:
  TContentInterpreter(TPDFRenderer& renderer, TPDFGenericCanvas& canvas, TByteView content,
                      TPDFDictionary* resources);

  // Runs the token loop to the end of the content; exceptions pass to the caller.
  void Run();
  // 0-based offset of the next unread byte.
  std::size_t Offset() const { return tokens_.Offset(); }
  TPDFGraphicsState& State() { return gs_; }

 private:
  void Execute(TContentOp op);
  void ReadGroup();

  // Graphics state (renderer_ops_state.cpp).
  void SaveState();
  void RestoreState();
  void ConcatMatrix();
  void SetDash();
  void ApplyExtGState();
  void SelectFont();
  void SetIntent(TByteView name);

  // Paths and painting (renderer_ops_path.cpp).
  TPDFPoint T(double x, double y) const;
  double DeviceLineWidth() const;
  void OpenPath();
  void AddOp(TPathOpKind kind, TPDFPoint a, TPDFPoint b = {}, TPDFPoint c = {});
  void EmitPath(const std::vector<TPathOp>& ops);
  void ApplyPendingClip();
  void ResetPath();
  void MoveTo();
  void LineTo();
  void CurveTo(int form);  // 'c', 'v' or 'y'
  void ClosePath();
  void Rectangle();
  void Paint(bool close, bool fill, bool stroke, int fillRule);
  void EndPath();
  void MarkClip(int rule);
  void ApplyStrokeSettings(double deviceWidth);
  void ApplyFillSettings(int fillRule);

  // The EPS target (renderer_ops_eps.cpp): lines written into the EPS writer.
  void PaintEPS(bool fill, bool stroke, int fillRule);
  std::string ColorTextEPS(bool stroke) const;
  void WriteDashEPS();
  void WriteLineStateEPS(const TPDFGraphicsState& before);
  void WriteMatrixEPS(const TPDFMatrix& m);
  // Shadings as embedded pictures (renderer_ops_eps_shading.cpp). PaintShadingEPS paints the
  // shading (toPage: its space to the page's default space) over `area` (page space), clipped
  // by the path written last when clipRule is set. FillWithShadingPatternEPS paints the fill
  // of the path under construction with a shading pattern; false when the fill pattern is not
  // a usable one.
  void PaintShadingEPS(TPDFShading& shading, const TPDFMatrix& toPage, TDeviceBox area,
                       int clipRule);
  bool FillWithShadingPatternEPS(int fillRule);

  // Colour (renderer_ops_colour.cpp).
  void SetDeviceColor(bool stroke, TColorSpaceId space);
  void SetColorSpace(bool stroke);
  void SetColor(bool stroke);
  void StoreColor(bool stroke, const TColorValue& value);

  // Text state (renderer_ops_text.cpp).
  void BeginText();
  void MoveText(double tx, double ty);
  void NextLine();
  void ShowText(std::size_t items);
  void EndText();
  // A Type 3 glyph: its procedure run with the glyph matrix (glyph space to the current space).
  void DrawType3Glyph(TPDFFontCollectionData& font, std::string_view name, const TPDFMatrix& glyph);
  void PaintText(std::vector<TPathOp>& glyphs);

  // Shadings and patterns (renderer_ops_pattern.cpp).
  TDeviceBox PathBox(const std::vector<TPathOp>& ops) const;
  TDeviceBox TargetBox() const;
  void NoteClip(const TDeviceBox& box);
  void DrawShadingInBox(class TPDFShading& shading, const TPDFMatrix& toDevice, TDeviceBox box);
  // The shading painted over the device box (bounded by its BBox and the target), charged to
  // the page's budgets (throws past them). False when there is nothing to paint.
  bool RasterizeShadingBox(TPDFShading& shading, const TPDFMatrix& toDevice, TDeviceBox box,
                           double alpha, TShadingPicture& picture);
  void FillWithPattern(int fillRule);
  void PaintTiling(TPDFStream& cell, TPDFIndRef* ref, const TPDFMatrix& toDevice,
                   const TDeviceBox& box);
  TPDFObject* LookupPattern(TByteView name);
  // A pattern's Matrix; nothing when it has none (or not six entries).
  std::optional<TPDFMatrix> PatternMatrix(TPDFDictionary& dict);

  // XObjects, inline images, shadings, marked content (renderer_ops_xobject.cpp).
  void DoXObject();
  void DrawForm(TPDFStream& form, TPDFIndRef* ref);
  // Transparency groups: BeginGroup opens the form's group on a layer when it needs one (the
  // content inside then starts opaque and unblended); EndGroup puts it down.
  struct TGroupPutDown {
    double Alpha = 1;
    TBlendMode Mode = TBlendMode::Normal;
    int MaskLayers = 0;
    // Drawn twice: first for its shape (see TPDFGenericCanvas::BeginGroupShape).
    bool TwoPass = false;
    // Whether the canvas holds the group's layer (the second drawing's may fail to open).
    bool Open = true;
  };
  // Layer: the group is open on a layer. Refused: it needed one and the canvas has none.
  enum class TGroupStart { None, Layer, Refused };
  TGroupStart BeginGroup(TPDFDictionary& form, TGroupPutDown& putDown);
  // Puts down the piece of the renderer's page picture that the form's box (x0 y0 x1 y1 in
  // user space) covers within the clip; false when there is no page picture.
  bool DrawAsPagePicture(const double* box);
  // The same for a device area (within the clip).
  bool DrawPagePicture(TDeviceBox area);
  // Where a soft mask with this group, backdrop and transfer table lets anything through
  // (device units; the clip box when that is not bounded by the group's box).
  TDeviceBox MaskArea(TPDFStream& group, const std::optional<TPackedColor>& backdrop,
                      const std::vector<std::uint8_t>& transfer);
  void EndGroup(const TGroupPutDown& putDown);
  // Soft masks (renderer_soft_mask.cpp): gs with an SMask entry, and closing the layers a
  // restored state no longer has.
  void SetSoftMask(TPDFObject* mask);
  void CloseMaskLayers(int keep);
  void ClipToBox(const double* box);  // x0 y0 x1 y1 in user space
  // Images (renderer_ops_image.cpp).
  void DrawInlineImage();
  void DrawImageXObject(const TPDFStream& stream, TPDFIndRef* ref);
  // Null when the image cannot be drawn (the page goes on without it).
  // Inline images may name a colour space of the resources.
  std::shared_ptr<class TPDFImageDecoder> DecodeImage(const TPDFStream& stream, bool inlineImage,
                                                      TPDFPoint drawnSize);
  // Device pixels the unit square covers across and down.
  TPDFPoint DrawnImageSize() const;
  void DrawPicture(class TPDFImageDecoder& decoder, const std::string& identifier);
  void PaintShading();
  void BeginMarkedContent(bool withProperties);
  void EndMarkedContent();

  TPDFRenderer& r_;
  TPDFGenericCanvas& canvas_;
  // Set for the EPS target: operators write their lines here.
  TPDFPostScriptCanvas* eps_ = nullptr;
  TContentTokenizer tokens_;
  TOperandStack operands_;
  std::size_t itemCount_ = 0;
  TPDFDictionary* resources_;

  TPDFGraphicsState gs_;
  // The matrix patterns are defined against: the CTM when this content started.
  TPDFMatrix baseMatrix_;
  // The same for the EPS target: the cm lines in force when this content started.
  TPDFMatrix epsBaseMatrix_;
  std::vector<TPDFGraphicsState> stack_;
  std::size_t ignoredSaves_ = 0;

  // The path under construction, in device coordinates; it goes to the canvas when painted.
  bool pathOpen_ = false;
  std::vector<TPathOp> path_;
  std::vector<TPathOp> fillScratch_;
  std::vector<TPathOp> strokeScratch_;
  int clipRule_ = 0;  // pending W (1) or W* (2)
  bool visible_ = true;
  // Whether painting operators draw: content that is on, and not already shown by the page
  // picture (a soft mask the canvas cannot draw).
  bool Shows() const { return visible_ && !gs_.SoftMaskPictured; }
  bool glyphUncoloured_ = false;
  std::vector<bool> visibility_;

  std::vector<TByteView> group_;
  // Glyph outlines of the text object that clip (render modes 4 to 7), applied at ET.
  std::vector<TPathOp> textClip_;
  std::vector<TPathOp> glyphPath_;
  std::vector<TPDFCharCode> codes_;
  std::vector<double> components_;
  TGPDashArray dashScratch_;
};

}  // namespace kestrel
