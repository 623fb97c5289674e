#include "engine/fonts/system/simple_truetype_rasterizer.h"

#include <charconv>

namespace kestrel {

bool TPDFSimpleTrueTypeRasterizer::DrawGlyph(TPDFGenericCanvas& canvas, const TPDFMatrix& matrix,
                                             double x, double y, std::string_view name) {
  std::uint32_t code = 0;
  if (name.size() > 4 && (name.substr(0, 4) == "CID:" || name.substr(0, 4) == "GID:")) {
    const char* end = name.data() + name.size();
    if (std::from_chars(name.data() + 4, end, code).ptr != end) code = 0;
  }
  if (code == 0) return false;
  converter_.AssignFont(SystemFont);
  converter_.Curves.Clear();
  converter_.ConvertGlyph(code);
  TPDFGenericShape shape;
  converter_.Curves.AppendTo(shape);
  TPDFMatrix m;
  MatrixMultiply(m, TPDFMatrix{1, 0, 0, 1, x, y}, matrix);
  ReplayShape(canvas, shape, m);
  return true;
}

}  // namespace kestrel
