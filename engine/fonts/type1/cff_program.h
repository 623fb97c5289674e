#pragma once
// The tables of a CFF font program (bare, as FontFile3 carries it, or the "CFF " table of an
// OpenType file) that drawing needs: charstrings, subroutines, charset, encoding, font
// dictionaries of CID-keyed fonts and the font matrix. Views point into the owned data.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/fonts/type1/cff_index.h"
#include "engine/graphics/matrix.h"

namespace kestrel {

struct TCFFFontDict {
  TCFFIndex Subrs;
  TPDFMatrix Matrix;        // this dictionary's FontMatrix (CID-keyed fonts), if any
  bool HasMatrix = false;
};

class TCFFProgram {
 public:
  // Reads the program; false when the data holds no CFF font (an OpenType file without a
  // "CFF " table, a bad header). Damaged tables leave parts empty.
  bool Load(std::string data);

  bool CIDKeyed() const { return m_cidKeyed; }
  // Bytes held: the program and the glyph indexes built from it.
  std::size_t MemorySize() const {
    return sizeof(*this) + m_data.capacity() + m_charset.capacity() * 2 + m_fdSelect.capacity() +
           (m_glyphOfName.size() + m_glyphOfCID.size()) * 48;
  }
  std::size_t GlyphCount() const { return m_charStrings.Count(); }
  std::string_view CharString(int gid) const;
  const TCFFIndex& GlobalSubrs() const { return m_globalSubrs; }
  // Local subroutines and font dictionary of a glyph (its FDSelect entry when CID-keyed).
  const TCFFFontDict& FontDictOf(int gid) const;
  const TPDFMatrix& FontMatrix() const { return m_fontMatrix; }
  bool HasTopFontMatrix() const { return m_hasTopMatrix; }

  // Glyph index of a glyph name (non-CID fonts) or of a CID (CID-keyed fonts), -1 if none.
  int GlyphOfName(std::string_view name) const;
  int GlyphOfCID(unsigned cid) const;
  // Glyph name by the charset ("CID:n" style names are not made here).
  std::string_view GlyphName(int gid) const;
  // The program's own encoding: code -> glyph name, ".notdef" where unassigned.
  const std::array<std::string, 256>& Encoding() const { return m_encoding; }
  // The glyph index of a StandardEncoding code, for accents (endchar with four operands).
  int GlyphOfStandardCode(int code) const;

 private:
  std::string_view StringOfSID(int sid) const;
  void ReadCharset(std::size_t offset);
  void ReadEncoding(std::size_t offset);
  void ReadFDSelect(std::size_t offset);
  TCFFIndex ReadPrivateSubrs(const std::vector<double>& privateOperands) const;
  TCFFFontDict ReadFontDict(std::string_view dictData) const;

  std::string m_data;
  std::string_view m_cff;  // the CFF bytes inside m_data
  bool m_cidKeyed = false;
  TCFFIndex m_strings, m_globalSubrs, m_charStrings;
  TCFFFontDict m_top;
  std::vector<TCFFFontDict> m_fds;
  std::vector<std::uint8_t> m_fdSelect;
  std::vector<std::uint16_t> m_charset;  // glyph index -> SID, or CID when CID-keyed
  std::unordered_map<std::string_view, int> m_glyphOfName;
  std::unordered_map<unsigned, int> m_glyphOfCID;
  std::array<std::string, 256> m_encoding;
  TPDFMatrix m_fontMatrix{0.001, 0, 0, 0.001, 0, 0};
  bool m_hasTopMatrix = false;
};

// Offset and length of the "CFF " table of an OpenType ("OTTO") file; false when absent.
bool FindOpenTypeCFF(std::string_view data, std::size_t& offset, std::size_t& length);

}  // namespace kestrel
