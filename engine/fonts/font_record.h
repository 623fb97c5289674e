#pragma once
// TPDFFontCollectionData: everything loaded from one font dictionary for drawing its text:
// the glyph name and advance of every one-byte code, the glyph program, and for composite
// fonts the widths of CIDs and the CID to glyph map.
#include <array>
#include <functional>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/fonts/font_rasterizer.h"
#include "engine/fonts/glyph_names.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TPDFArray;
class TPDFObject;

// Widths of CIDs (integers), with the default width DW for CIDs not listed.
struct TPDFCIDWidths {
  int Default = 1000;
  std::unordered_map<std::uint32_t, int> Widths;

  int WidthOf(std::uint32_t cid) const {
    auto it = Widths.find(cid);
    return it == Widths.end() ? Default : it->second;
  }
};

// Vertical metrics of CIDs (W2 and DW2, in thousandths of an em): the vertical advance W1
// and the position vector (Vx, Vy) that vertical writing puts on the current point. A CID not
// listed advances by DefaultW1 and has Vx half its horizontal width, Vy DefaultVy.
struct TPDFCIDVerticalMetrics {
  struct TMetric {
    int W1 = -1000, Vx = 0, Vy = 880;
  };
  int DefaultVy = 880;
  int DefaultW1 = -1000;
  std::unordered_map<std::uint32_t, TMetric> Metrics;
};

// One character code of a composite font's string and the CID it selects.
struct TPDFCharCode {
  std::uint32_t Code = 0;
  std::uint32_t CID = 0;
};

// How a composite font splits strings into codes. Without one, codes are two bytes big-endian
// (one byte when the record says so) and the CID is the code (Identity-H and Identity-V). The
// CMap reader provides one for other encodings.
class TPDFCodeMap {
 public:
  virtual ~TPDFCodeMap() = default;
  virtual void StringToCodes(TByteView bytes, std::vector<TPDFCharCode>& codes) const = 0;
  virtual std::size_t MemorySize() const { return 0; }
  // Whether the encoding writes vertically (WMode 1).
  virtual bool Vertical() const { return false; }
};

// Font descriptor flags.
inline constexpr int kFontFlagFixedPitch = 1;
inline constexpr int kFontFlagSerif = 2;
inline constexpr int kFontFlagSymbolic = 4;
inline constexpr int kFontFlagItalic = 64;

// A number no other font record of this process gets, so that glyph pictures kept by a
// canvas cannot be taken for those of a later font loaded at the same address.
std::uint64_t NextFontSerial();

struct TPDFFontCollectionData {
  const std::uint64_t Serial = NextFontSerial();
  // Key in the font cache: the object number the dictionary was reached by (0 when direct).
  std::int32_t ObjectNumber = 0;
  // Advance of every one-byte code in glyph units (thousandths of text space; a Type 3
  // font's own glyph space).
  std::array<double, 256> Widths{};
  std::string FontName = "Arial";
  std::string Subtype;
  int Flags = 0;
  // Draws the glyphs; none means they are not drawn (widths still advance).
  std::unique_ptr<TPDFFontRasterizer> Rasterizer;
  TPDFCharsetNames GlyphNames;
  bool IsComposite = false;
  bool IsType3 = false;
  std::unique_ptr<TPDFCIDWidths> CIDWidths;
  // Vertical writing (a composite font whose encoding has WMode 1) and its metrics.
  bool Vertical = false;
  std::unique_ptr<TPDFCIDVerticalMetrics> VerticalMetrics;
  double Ascent = 0, Descent = 0;
  std::string CIDToGIDMap;  // big-endian glyph numbers by CID; empty for Identity
  bool OneByteCodes = false;
  std::string CMapName;
  std::unique_ptr<TPDFCodeMap> CodeMap;
  std::string CIDSystemInfo;

  // The glyph number a CID draws through CIDToGIDMap (the CID itself without one, or beyond
  // the end of the map).
  long GlyphOfCID(std::uint32_t cid) const;
  // Splits a string of a composite font into codes.
  void StringToCodes(TByteView bytes, std::vector<TPDFCharCode>& codes) const;
  std::size_t MemorySize() const;
};

// The widths of a W array: [c [w1 w2 ...]] and [c_first c_last w] groups.
std::unique_ptr<TPDFCIDWidths> ParseCIDWidths(const TPDFArray* w, int defaultWidth,
                                              const std::function<TPDFObject*(TPDFObject*)>& resolve);

// The vertical metrics of a W2 array ([c [w1 vx vy ...]] and [c_first c_last w1 vx vy]
// groups) and a DW2 array ([vy w1]).
std::unique_ptr<TPDFCIDVerticalMetrics> ParseCIDVerticalMetrics(
    const TPDFArray* w2, const TPDFArray* dw2, const std::function<TPDFObject*(TPDFObject*)>& resolve);

}  // namespace kestrel
