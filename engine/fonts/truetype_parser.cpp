#include "engine/fonts/truetype_parser.h"

#include <algorithm>

namespace kestrel {

namespace {

#include "engine/fonts/mac_glyph_names.inc"

// Big-endian reads confined to [begin, end) of the font data: past the end every read gives
// zero and the reader stays there.
class TFontReader {
 public:
  TFontReader(std::string_view data, std::size_t begin = 0, std::size_t end = SIZE_MAX)
      : data_(data), end_(std::min(end, data.size())), pos_(std::min(begin, end_)) {}

  void Seek(std::size_t pos) { pos_ = std::min(pos, end_); }
  void Skip(std::size_t n) { pos_ = n > end_ - pos_ ? end_ : pos_ + n; }
  std::size_t Pos() const { return pos_; }
  std::size_t Left() const { return end_ - pos_; }

  std::uint8_t U8() {
    if (pos_ >= end_) return 0;
    return static_cast<std::uint8_t>(data_[pos_++]);
  }
  std::uint16_t U16() {
    const std::uint16_t hi = U8();
    return static_cast<std::uint16_t>((hi << 8) | U8());
  }
  std::int16_t S16() { return static_cast<std::int16_t>(U16()); }
  std::uint32_t U32() {
    const std::uint32_t hi = U16();
    return (hi << 16) | U16();
  }
  double F2Dot14() { return S16() / 16384.0; }

 private:
  std::string_view data_;
  std::size_t end_;
  std::size_t pos_;
};

// Mappings one cmap subtable may list: every 16-bit code once, and a little more for
// overlapping segments; a subtable claiming more is cut there.
constexpr std::size_t kMaxCmapEntries = 70'000;
// Subtables read from one cmap table.
constexpr std::size_t kMaxCmapSubtables = 64;

const std::string kNoName;

}  // namespace

void TPDFTrueTypeParser::LoadFromBytes(std::string_view bytes) {
  const std::uint32_t bias = OffsetBias;
  *this = TPDFTrueTypeParser();
  OffsetBias = bias;
  if (bytes.size() < 12) return;
  TFontReader r(bytes);
  const std::uint32_t version = r.U32();
  const std::string_view tag = bytes.substr(0, 4);
  if (version != 0x00010000 && tag != "true" && tag != "typ1" && tag != "OTTO") return;
  data_.assign(bytes);
  r = TFontReader(data_, 4);
  const std::uint16_t numTables = r.U16();
  r.Skip(6);
  for (std::uint16_t i = 0; i < numTables && r.Left() >= 16; ++i) {
    TPDFTTDirectoryEntry e;
    const std::size_t at = r.Pos();
    e.Tag = r.U32();
    e.TagText.assign(data_.substr(at, 4));
    e.Checksum = r.U32();
    const std::uint32_t offset = r.U32();
    e.Offset = offset >= OffsetBias ? offset - OffsetBias : 0;
    e.Length = r.U32();
    directory_.push_back(std::move(e));
  }
  if (auto* t = FindTable("CFF ")) cffOffset_ = t->Offset;
  if (auto* t = FindTable("head")) ReadHead(*t);
  if (auto* t = FindTable("maxp")) ReadMaxp(*t);
  if (auto* t = FindTable("loca")) ReadLoca(*t);
  if (auto* t = FindTable("glyf"); t && !loca_.empty()) {
    glyfOffset_ = t->Offset;
    glyfLength_ = t->Length;
    glyphCount_ = numGlyphs_;
  }
  if (auto* t = FindTable("post")) ReadPost(*t);
  if (auto* t = FindTable("cmap")) ReadCmap(*t);
  ReadHmtx(FindTable("hhea"), FindTable("hmtx"));
}

const TPDFTTDirectoryEntry* TPDFTrueTypeParser::FindTable(std::string_view tag) const {
  for (const auto& e : directory_)
    if (e.TagText == tag) return &e;
  return nullptr;
}

void TPDFTrueTypeParser::ReadHead(const TPDFTTDirectoryEntry& t) {
  TFontReader r(data_, t.Offset);
  r.Skip(18);  // version, fontRevision, checkSumAdjustment, magicNumber, flags
  const std::uint16_t upm = r.U16();
  // A font claiming a unit of 0 (or an absurd one) would scale outlines to infinity.
  unitsPerEm_ = upm >= 16 ? upm : 1000;
  r.Skip(16 + 8 + 2 + 2 + 2);  // dates, bounding box, macStyle, lowestRecPPEM, direction
  indexToLocFormat_ = r.S16();
}

void TPDFTrueTypeParser::ReadMaxp(const TPDFTTDirectoryEntry& t) {
  TFontReader r(data_, t.Offset);
  r.Skip(4);
  numGlyphs_ = r.U16();
}

void TPDFTrueTypeParser::ReadLoca(const TPDFTTDirectoryEntry& t) {
  if (numGlyphs_ == 0) return;
  TFontReader r(data_, t.Offset);
  loca_.assign(numGlyphs_ + 1, 0);
  if (indexToLocFormat_ != 0 && indexToLocFormat_ != 1) return;
  for (std::uint32_t i = 0; i <= numGlyphs_; ++i)
    loca_[i] = indexToLocFormat_ == 0 ? std::uint32_t{r.U16()} * 2 : r.U32();
}

TPDFTTglyfTable TPDFTrueTypeParser::GetGlyph(int index) const {
  TPDFTTglyfTable g;
  if (index < 0 || static_cast<std::uint32_t>(index) >= glyphCount_) return g;
  const std::uint32_t start = loca_[static_cast<std::size_t>(index)];
  std::uint32_t end = loca_[static_cast<std::size_t>(index) + 1];
  // Some subsetters write glyphs out of order: a next offset below this one says nothing
  // about the length, so the glyph may run to the end of the table (its header bounds it).
  if (end < start) end = glyfLength_;
  if (end <= start || start >= glyfLength_) return g;
  const std::size_t begin = std::size_t{glyfOffset_} + start;
  const std::size_t limit = std::size_t{glyfOffset_} + std::min(end, glyfLength_);
  if (begin >= data_.size()) return g;
  TFontReader r(data_, begin, limit);
  const std::int16_t contours = r.S16();
  g.XMin = r.S16();
  g.YMin = r.S16();
  g.XMax = r.S16();
  g.YMax = r.S16();
  if (contours >= 1) {
    g.ContourEnds.resize(static_cast<std::size_t>(contours));
    for (auto& e : g.ContourEnds) e = r.U16();
    r.Skip(r.U16());  // instructions
    const std::size_t points = std::size_t{g.ContourEnds.back()} + 1;
    // Every point needs at least one flag byte: a count beyond the data is a broken glyph.
    if (points > r.Left()) return TPDFTTglyfTable{};
    g.ContourCount = contours;
    g.PointFlags.reserve(points);
    while (g.PointFlags.size() < points && r.Left() > 0) {
      const std::uint8_t flag = r.U8();
      g.PointFlags.push_back(flag);
      if (flag & 0x08) {
        for (int n = r.U8(); n > 0 && g.PointFlags.size() < points; --n) g.PointFlags.push_back(flag);
      }
    }
    g.PointFlags.resize(points, 0);
    g.Points.resize(points);
    std::int32_t v = 0;
    for (std::size_t i = 0; i < points; ++i) {
      const std::uint8_t f = g.PointFlags[i];
      if (f & 0x02) {
        const int d = r.U8();
        v += (f & 0x10) ? d : -d;
      } else if (!(f & 0x10)) {
        v += r.S16();
      }
      g.Points[i].x = v;
    }
    v = 0;
    for (std::size_t i = 0; i < points; ++i) {
      const std::uint8_t f = g.PointFlags[i];
      if (f & 0x04) {
        const int d = r.U8();
        v += (f & 0x20) ? d : -d;
      } else if (!(f & 0x20)) {
        v += r.S16();
      }
      g.Points[i].y = v;
    }
    return g;
  }
  // Composite: components until one lacks MORE_COMPONENTS (or the glyph's data ends).
  for (;;) {
    if (r.Left() < 4) break;
    TPDFTTComponent c;
    c.Flags = r.U16();
    c.GlyphIndex = r.U16();
    if (c.Flags & kArgsAreWords) {
      c.Arg1 = r.S16();
      c.Arg2 = r.S16();
    } else {
      c.Arg1 = static_cast<std::int8_t>(r.U8());
      c.Arg2 = static_cast<std::int8_t>(r.U8());
    }
    if (c.Flags & kHaveScale) {
      c.XScale = c.YScale = r.F2Dot14();
    } else if (c.Flags & kHaveXYScale) {
      c.XScale = r.F2Dot14();
      c.YScale = r.F2Dot14();
    } else if (c.Flags & kHaveTwoByTwo) {
      c.XScale = r.F2Dot14();
      c.Scale01 = r.F2Dot14();
      c.Scale10 = r.F2Dot14();
      c.YScale = r.F2Dot14();
    }
    g.Components.push_back(c);
    if (!(c.Flags & kMoreComponents)) break;
  }
  return g;
}

void TPDFTrueTypeParser::ReadPost(const TPDFTTDirectoryEntry& t) {
  TFontReader r(data_, t.Offset, std::size_t{t.Offset} + t.Length);
  glyphNames_.assign(numGlyphs_, std::string());
  const std::uint32_t version = r.U32();
  r.Skip(4 + 2 + 2 + 4 + 16);
  if (version == 0x00010000) {
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(numGlyphs_, 258); ++i)
      glyphNames_[i] = kMacGlyphNames[i];
  } else if (version == 0x00020000) {
    const std::uint32_t count = std::min<std::uint32_t>(r.U16(), numGlyphs_);
    std::vector<std::uint16_t> indexes(count);
    std::uint32_t customs = 0;
    for (auto& k : indexes) {
      k = r.U16();
      if (k > 257) customs = std::max<std::uint32_t>(customs, k - 257u);
    }
    std::vector<std::string> strings;
    strings.reserve(std::min<std::size_t>(customs, r.Left()));
    for (std::uint32_t i = 0; i < customs && r.Left() > 0; ++i) {
      const std::size_t len = std::min<std::size_t>(r.U8(), r.Left());
      strings.emplace_back(data_.substr(r.Pos(), len));
      r.Skip(len);
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint16_t k = indexes[i];
      if (k <= 257) {
        glyphNames_[i] = kMacGlyphNames[k];
      } else if (k - 258u < strings.size()) {
        glyphNames_[i] = strings[k - 258u];
      }
    }
  } else if (version == 0x00025000) {
    const std::uint32_t count = std::min<std::uint32_t>(r.U16(), numGlyphs_);
    for (std::uint32_t i = 0; i < count; ++i) {
      const int k = static_cast<int>(i) + static_cast<std::int8_t>(r.U8());
      if (k >= 1 && k <= 257) glyphNames_[i] = kMacGlyphNames[k];
    }
  } else if (version == 0x00030000) {
    glyphNames_.clear();
  }
}

void TPDFTrueTypeParser::ReadCmap(const TPDFTTDirectoryEntry& t) {
  if (glyphNames_.size() < numGlyphs_) glyphNames_.resize(numGlyphs_);
  TFontReader r(data_, t.Offset);
  r.Skip(2);
  const std::size_t count = std::min<std::size_t>(r.U16(), kMaxCmapSubtables);
  for (std::size_t i = 0; i < count && r.Left() >= 8; ++i) {
    TPDFTTEncodingRecord e;
    e.PlatformID = r.U16();
    e.EncodingID = r.U16();
    e.Offset = r.U32();
    cmaps_.push_back(std::move(e));
  }
  for (TPDFTTEncodingRecord& e : cmaps_) {
    const std::size_t at = std::size_t{t.Offset} + e.Offset;
    TFontReader s(data_, at);
    e.Format = s.U16();
    const std::uint16_t length = s.U16();
    e.LengthOrLanguage = s.U16();
    auto add = [&e](std::uint32_t code, std::uint32_t glyph) {
      if (e.Codes.size() >= kMaxCmapEntries) return false;
      e.Codes.push_back(static_cast<std::uint16_t>(code));
      e.Glyphs.push_back(static_cast<std::uint16_t>(glyph));
      return true;
    };
    if (e.Format == 0) {
      for (int c = 0; c < 256; ++c) add(c, s.U8());
    } else if (e.Format == 6) {
      const std::uint16_t first = s.U16();
      const std::uint16_t n = s.U16();
      for (std::uint32_t k = 0; k < n && s.Left() >= 2; ++k) add(first + k, s.U16());
    } else if (e.Format == 4) {
      const std::size_t segs = s.U16() / 2;
      s.Skip(6);
      if (segs * 8 > s.Left()) continue;
      std::vector<std::uint16_t> endCode(segs), startCode(segs), rangeOffset(segs);
      std::vector<std::int16_t> delta(segs);
      for (auto& v : endCode) v = s.U16();
      s.Skip(2);
      for (auto& v : startCode) v = s.U16();
      for (auto& v : delta) v = s.S16();
      for (auto& v : rangeOffset) v = s.U16();
      // The glyph index array fills the subtable up to its length.
      const std::size_t used = 16 + segs * 8;
      std::vector<std::uint16_t> glyphArray;
      if (length > used) {
        glyphArray.resize(std::min<std::size_t>((length - used) / 2, s.Left() / 2));
        for (auto& v : glyphArray) v = s.U16();
      }
      bool room = true;
      for (std::size_t j = 0; j < segs && room; ++j) {
        if (endCode[j] == 0xFFFF || endCode[j] < startCode[j]) continue;
        for (std::uint32_t c = startCode[j]; c <= endCode[j] && room; ++c) {
          std::uint32_t glyph = 0;
          if (rangeOffset[j] == 0) {
            glyph = (c + static_cast<std::uint32_t>(delta[j])) & 0xFFFF;
          } else {
            const long idx = static_cast<long>(rangeOffset[j] / 2) +
                             static_cast<long>(c - startCode[j]) -
                             static_cast<long>(segs - j);
            if (idx >= 0 && static_cast<std::size_t>(idx) < glyphArray.size()) {
              glyph = glyphArray[static_cast<std::size_t>(idx)];
              if (glyph != 0) glyph = (glyph + static_cast<std::uint32_t>(delta[j])) & 0xFFFF;
            }
          }
          room = add(c, glyph);
        }
      }
    }
  }
}

void TPDFTrueTypeParser::ReadHmtx(const TPDFTTDirectoryEntry* hhea,
                                  const TPDFTTDirectoryEntry* hmtx) {
  if (!hhea || !hmtx) return;
  TFontReader h(data_, hhea->Offset);
  if (h.U32() != 0x00010000) return;
  h.Skip(30);
  const std::uint16_t metrics = h.U16();
  TFontReader r(data_, hmtx->Offset);
  advances_.reserve(std::min<std::size_t>(metrics, r.Left() / 4));
  for (std::uint32_t i = 0; i < metrics && r.Left() >= 4; ++i) {
    const std::uint32_t advance = r.U16();
    r.Skip(2);
    advances_.push_back(static_cast<std::uint16_t>(advance * 1000 / static_cast<std::uint32_t>(unitsPerEm_)));
  }
}

int TPDFTrueTypeParser::FindCmapSubtable(int platformID, int encodingID) const {
  for (int i = static_cast<int>(cmaps_.size()) - 1; i >= 0; --i) {
    const auto& e = cmaps_[static_cast<std::size_t>(i)];
    if (e.PlatformID == platformID && e.EncodingID == encodingID) return i;
  }
  return -1;
}

const TPDFTTEncodingRecord* TPDFTrueTypeParser::CmapSubtable(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= cmaps_.size()) return nullptr;
  return &cmaps_[static_cast<std::size_t>(index)];
}

int TPDFTrueTypeParser::GlyphIndexOfName(std::string_view name) const {
  for (int i = static_cast<int>(glyphNames_.size()) - 1; i >= 0; --i)
    if (glyphNames_[static_cast<std::size_t>(i)] == name) return i;
  return -1;
}

const std::string& TPDFTrueTypeParser::GlyphName(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= glyphNames_.size()) return kNoName;
  return glyphNames_[static_cast<std::size_t>(index)];
}

int TPDFTrueTypeParser::AdvanceWidth(int glyph) const {
  if (advances_.empty()) return 750;
  if (glyph < 0) glyph = 0;
  const std::size_t i = std::min<std::size_t>(static_cast<std::size_t>(glyph), advances_.size() - 1);
  return advances_[i];
}

std::size_t TPDFTrueTypeParser::MemorySize() const {
  std::size_t n = data_.capacity() + loca_.capacity() * 4 + advances_.capacity() * 2 +
                  glyphNames_.capacity() * sizeof(std::string);
  for (const auto& s : glyphNames_) n += s.capacity() > 15 ? s.capacity() : 0;
  for (const auto& e : cmaps_) n += sizeof e + (e.Codes.capacity() + e.Glyphs.capacity()) * 2;
  return n;
}

}  // namespace kestrel
