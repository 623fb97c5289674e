#pragma once
// TPDFTrueTypeParser: reads a TrueType or OpenType font held in memory (an embedded FontFile2
// program, an installed font file). Tables are read once when the font is loaded; glyph
// records are decoded from the kept font data when first asked for. No read ever leaves the
// font data: what lies outside it reads as empty.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

struct TPDFTTDirectoryEntry {
  std::uint32_t Tag = 0;
  std::string TagText;
  std::uint32_t Checksum = 0;
  std::uint32_t Offset = 0;  // after subtracting the offset bias
  std::uint32_t Length = 0;
};

struct TPDFTTComponent {
  std::uint16_t Flags = 0;
  std::uint16_t GlyphIndex = 0;
  std::int16_t Arg1 = 0, Arg2 = 0;
  double XScale = 1, YScale = 1, Scale01 = 0, Scale10 = 0;
};

struct TPDFTTPoint {
  std::int32_t x = 0, y = 0;
};

struct TPDFTTglyfTable {
  std::int32_t ContourCount = 0;  // 0 for an empty or composite glyph
  std::int32_t XMin = 0, YMin = 0, XMax = 0, YMax = 0;
  std::vector<std::uint16_t> ContourEnds;
  std::vector<TPDFTTPoint> Points;  // absolute font units
  std::vector<std::uint8_t> PointFlags;  // bit 0: on the curve
  std::vector<TPDFTTComponent> Components;
};

struct TPDFTTEncodingRecord {
  std::uint16_t PlatformID = 0, EncodingID = 0;
  std::uint32_t Offset = 0;
  std::uint16_t Format = 0, LengthOrLanguage = 0;
  std::vector<std::uint16_t> Codes;   // every mapping the subtable lists, in its order
  std::vector<std::uint16_t> Glyphs;  // parallel to Codes
};

// Composite glyph flags.
inline constexpr std::uint16_t kArgsAreWords = 0x0001;
inline constexpr std::uint16_t kArgsAreXYValues = 0x0002;
inline constexpr std::uint16_t kHaveScale = 0x0008;
inline constexpr std::uint16_t kMoreComponents = 0x0020;
inline constexpr std::uint16_t kHaveXYScale = 0x0040;
inline constexpr std::uint16_t kHaveTwoByTwo = 0x0080;

class TPDFTrueTypeParser {
 public:
  // Subtracted from every table offset (set before loading a member of a font collection).
  std::uint32_t OffsetBias = 0;

  // Parses the font; an empty or unknown input leaves the parser empty. The bytes are copied.
  void LoadFromBytes(std::string_view bytes);

  std::uint32_t CFFTableOffset() const { return cffOffset_; }
  int UnitsPerEm() const { return unitsPerEm_; }
  int GlyphCount() const { return static_cast<int>(glyphCount_); }
  // The glyph record; an index outside the font gives an empty record.
  TPDFTTglyfTable GetGlyph(int index) const;
  int FindCmapSubtable(int platformID, int encodingID) const;
  const TPDFTTEncodingRecord* CmapSubtable(int index) const;
  int CmapSubtableCount() const { return static_cast<int>(cmaps_.size()); }
  int GlyphNameCount() const { return static_cast<int>(glyphNames_.size()); }
  // The highest glyph index with exactly this post name, -1 when none.
  int GlyphIndexOfName(std::string_view name) const;
  const std::string& GlyphName(int index) const;
  // Advance in thousandths of an em (the last entry beyond the list, 750 without hmtx).
  int AdvanceWidth(int glyph) const;
  const std::vector<TPDFTTDirectoryEntry>& Directory() const { return directory_; }
  // Bytes the parser keeps (font data and decoded tables), for the font cache's bound.
  std::size_t MemorySize() const;

 private:
  const TPDFTTDirectoryEntry* FindTable(std::string_view tag) const;
  void ReadHead(const TPDFTTDirectoryEntry& t);
  void ReadMaxp(const TPDFTTDirectoryEntry& t);
  void ReadLoca(const TPDFTTDirectoryEntry& t);
  void ReadPost(const TPDFTTDirectoryEntry& t);
  void ReadCmap(const TPDFTTDirectoryEntry& t);
  void ReadHmtx(const TPDFTTDirectoryEntry* hhea, const TPDFTTDirectoryEntry* hmtx);

  std::string data_;
  std::vector<TPDFTTDirectoryEntry> directory_;
  std::uint32_t cffOffset_ = 0;
  int unitsPerEm_ = 2048;
  int indexToLocFormat_ = 0;
  std::uint32_t numGlyphs_ = 0;
  std::uint32_t glyphCount_ = 0;  // glyph records (0 without glyf and loca)
  std::uint32_t glyfOffset_ = 0, glyfLength_ = 0;
  std::vector<std::uint32_t> loca_;
  std::vector<std::string> glyphNames_;
  std::vector<TPDFTTEncodingRecord> cmaps_;
  std::vector<std::uint16_t> advances_;
};

}  // namespace kestrel
