#pragma once
// TPDFType3Rasterizer: a Type 3 font's glyph procedures by glyph name, and its FontMatrix.
// The renderer runs a procedure as content with the font dictionary's resources; DrawGlyph
// adds no outline of its own.
#include <functional>
#include <string>
#include <unordered_map>

#include "engine/fonts/font_rasterizer.h"
#include "engine/graphics/canvas.h"
#include "engine/syntax/objects.h"

namespace kestrel {

class TPDFType3Rasterizer : public TPDFFontRasterizer {
 public:
  using TResolve = std::function<TPDFObject*(TPDFObject*)>;

  TPDFDictionary* FontDictionary = nullptr;
  TPDFMatrix FontMatrix;
  TPackedColor FillColor = 0;

  void LoadType3Font(TPDFDictionary& dict, const TResolve& resolve);
  // The glyph procedure of a name, and the stream it came from (for its own Resources);
  // null when no glyph has the name.
  const TPDFStream* GetCharProc(std::string_view name) const;
  bool DrawGlyph(TPDFGenericCanvas&, const TPDFMatrix&, double, double,
                 std::string_view name) override {
    return GetCharProc(name) != nullptr;
  }
  std::size_t MemorySize() const override { return 256 + procs_.size() * 64; }

 private:
  std::unordered_map<std::string, const TPDFStream*> procs_;
};

}  // namespace kestrel
