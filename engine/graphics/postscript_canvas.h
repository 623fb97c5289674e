#pragma once
// TPDFPostScriptCanvas: a canvas that also takes PostScript page-body lines written with PDF
// operator names in PDF user space. The renderer writes an EPS page through it; the EPS writer
// in the output layer implements it.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "engine/graphics/canvas.h"
#include "engine/graphics/matrix.h"

namespace kestrel {

// A number as the page body writes it: at most four decimals, no exponent, and clamped to
// ±1e9 so that PostScript always reads it (NaN gives 0).
std::string EPSNumber(double value);
// One body line: each number followed by a space, then the operator ("1 2 m").
std::string EPSLine(std::initializer_list<double> numbers, std::string_view op);
// The matrix PostScript reads from a cm line written with EPSLine (each entry as EPSNumber
// writes it).
TPDFMatrix EPSWrittenMatrix(const TPDFMatrix& m);

class TPDFPostScriptCanvas : public TPDFGenericCanvas {
 public:
  // Appends a line; one trailing space is removed. Once the page is full further lines are
  // dropped (Full() says so).
  virtual void AddLine(std::string text) = 0;
  virtual bool Full() const = 0;
  // Writes a colour text ("1 0 0 setrgbcolor") unless it is the colour in force already.
  // An empty text writes nothing.
  virtual void SetColor(const std::string& text) = 0;
  // q and Q; the colour in force is saved and restored with them.
  virtual void SaveState() = 0;
  virtual void RestoreState() = 0;
  // Paints the picture into the unit square of the current user space (its first row at the
  // top). The picture's data is embedded the first time `identifier` is drawn and reused
  // afterwards. `mask`, when given, is a picture whose brightness is the opacity.
  virtual void DrawImage(const TCanvasBitmap& bitmap, const TCanvasBitmap* mask,
                         std::string_view identifier) = 0;
};

}  // namespace kestrel
