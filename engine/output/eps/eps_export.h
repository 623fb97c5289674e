#pragma once
// TPDFEPSExport: an Encapsulated PostScript page kept as a list of text lines. The prolog
// defines procedures named after the PDF operators (m, l, c, q, Q, cm ...), so the renderer
// writes the page body with PDF operator names in PDF user space. As a canvas it takes paths
// (glyph outlines, clip boxes) and turns them into the same lines.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/graphics/postscript_canvas.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TPDFEPSExport : public TPDFPostScriptCanvas {
 public:
  // Starts a page: the header with the bounding box (each value rounded half to even) and the
  // prolog. Everything buffered before is dropped.
  void StartDocument(double llx, double lly, double urx, double ury);
  // Appends a line; one trailing space is removed. Once the text passes MaxBytes
  // further lines are dropped (Full() says so); the file is still closed properly.
  void AddLine(std::string text) override;
  static constexpr std::size_t kMaxDocumentBytes = std::size_t{256} << 20;
  std::size_t MaxBytes = kMaxDocumentBytes;
  bool Full() const override { return bytes_ > MaxBytes; }
  // Writes a colour text ("1 0 0 setrgbcolor") unless it is the colour in force already.
  // Custom colours ("... (Gold) findcmykcustomcolor 0.5 setcustomcolor") are noted, once per
  // colorant, for the header comments. An empty text writes nothing.
  void SetColor(const std::string& text) override;
  // q and Q; the colour in force is saved and restored with them.
  void SaveState() override;
  void RestoreState() override;
  // Forgets which colour is in force (after something that changes it behind our back).
  void ForgetColor() { lastColor_.reset(); }
  // Paints the picture into the unit square of the current user space (its first row at the
  // top). The picture's data is embedded the first time `identifier` is drawn and reused
  // afterwards. `mask`, when given, is a picture of the same or another size whose brightness
  // is the opacity: white pixels show the image, black ones hide it (dithered to one bit).
  // A picture without pixels, with fewer pixels than its size says or with more than
  // kMaxPicturePixels, draws nothing.
  static constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 26;  // 8192 × 8192
  void DrawImage(const TCanvasBitmap& bitmap, const TCanvasBitmap* mask,
                 std::string_view identifier) override;
  // Closes any q left open, adds the custom colour comments to the header and ends the file.
  void FinishDocument();
  // Every line followed by CR LF, appended to `out`.
  void WriteTo(TBytes& out) const;

  const std::vector<std::string>& Lines() const { return lines_; }
  // q written and not yet closed.
  std::size_t Depth() const { return colorStack_.size(); }

  // Canvas operations.
  void BeginPath() override;
  void MoveTo(double x, double y) override;
  void LineTo(double x, double y) override;
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) override;
  void QuadTo(double x1, double y1, double x2, double y2) override;
  void ClosePath() override;
  void StrokePath() override;
  void FillPath() override;
  void FillStrokePath() override;
  void DrawBitmap(const TCanvasBitmap&, double, double, double, double, double, double,
                  TImageSampling) override {}
  // Clips: SetClip marks the path, EndPath writes W (or W*) and n. Snapshots are q levels:
  // SaveClip writes q and returns the new depth; RestoreClip writes Q until that level is closed.
  void SetClip(int rule) override { clipRule_ = rule; }
  void EndPath() override;
  TClipHandle SaveClip() override;
  void RestoreClip(TClipHandle handle) override;

 private:
  void EmbedImage(const TCanvasBitmap& bitmap, const TCanvasBitmap* mask, const std::string& id);
  // Appends without the size check; false when the buffer is full and `check` is set.
  bool Append(std::string text, bool check = true);

  std::vector<std::string> lines_;
  std::vector<std::string> embedded_;
  // Custom colours used, each as its text through the colorant's ")" ("0 0.1 0.9 0 (Gold)").
  std::vector<std::string> customColors_;
  std::vector<std::optional<std::string>> colorStack_;
  // The colour in force; none when unknown (the start of the page: the first colour used is
  // always written).
  std::optional<std::string> lastColor_;
  double currentX_ = 0, currentY_ = 0;
  // Whether the path under construction has a current point (after BeginPath it has none).
  bool hasPoint_ = false;
  int clipRule_ = 0;
  std::size_t bytes_ = 0;
  // q lines written and not yet matched by a written Q.
  std::size_t openLevels_ = 0;
};

}  // namespace kestrel
