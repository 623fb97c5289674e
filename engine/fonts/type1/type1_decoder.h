#pragma once
// The rasteriser of PostScript-outline fonts: Type 1 programs (FontFile), CFF programs
// (FontFile3: Type1C and CIDFontType0C) and CFF-flavoured OpenType files. Each glyph is
// decoded once into an outline that later occurrences replay.
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/fonts/font_rasterizer.h"
#include "engine/graphics/canvas_shape.h"

namespace kestrel {

class TType1Program;
class TCFFProgram;

class TPDFType1Decoder final : public TPDFFontRasterizer {
 public:
  TPDFType1Decoder();
  ~TPDFType1Decoder() override;

  // A Type 1 program; `length1` is the stream's Length1 (0 when unknown). False when no glyph
  // could be read; the decoder then draws nothing.
  bool LoadType1Program(std::string_view data, std::size_t length1);
  // A bare CFF program or an OpenType file with a "CFF " table. False when the data holds no
  // CFF font.
  bool LoadCFFProgram(std::string data);

  // The program's own encoding: code -> glyph name (".notdef" where unassigned).
  const std::array<std::string, 256>& BuiltInEncoding() const { return m_builtInEncoding; }
  bool CIDKeyed() const;
  // Whether a glyph of that name (or "GID:"/"CID:" number) exists.
  bool HasGlyph(std::string_view name) const;

  // Glyph names are PostScript names, or "GID:n" / "CID:n": a CID for CID-keyed CFF, a glyph
  // index otherwise.
  bool DrawGlyph(TPDFGenericCanvas& canvas, const TPDFMatrix& matrix, double x, double y,
                 std::string_view name) override;
  double GlyphScale() const override { return m_scale; }
  std::size_t MemorySize() const override;

 private:
  struct TGlyph {
    TPDFGenericShape Shape;
    bool Found = false;
  };
  struct THash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };

  int GlyphIndex(std::string_view name) const;
  const TGlyph& Glyph(std::string_view name);
  void SetScale(const TPDFMatrix& fontMatrix);

  std::unique_ptr<TType1Program> m_type1;
  std::unique_ptr<TCFFProgram> m_cff;
  std::array<std::string, 256> m_builtInEncoding;
  double m_scale = 1.0;
  std::unordered_map<std::string, std::unique_ptr<TGlyph>, THash, std::equal_to<>> m_cache;
  std::size_t m_cacheBytes = 0;
};

}  // namespace kestrel
