#include "engine/fonts/type1/cff_program.h"

#include <algorithm>
#include <cmath>

#include "engine/fonts/type1/cff_dict.h"
#include "engine/fonts/type1/cff_standard_data.h"
#include "engine/fonts/font_limits.h"

namespace kestrel {
namespace {

std::uint32_t ReadBE(std::string_view d, std::size_t pos, int size) {
  if (pos > d.size() || d.size() - pos < static_cast<std::size_t>(size)) return 0;
  std::uint32_t v = 0;
  for (int k = 0; k < size; ++k) v = (v << 8) | static_cast<unsigned char>(d[pos + k]);
  return v;
}

// An offset operand as a position inside data of `size` bytes, or size when invalid.
std::size_t OffsetOperand(double v, std::size_t size) {
  if (!(v >= 0) || v >= static_cast<double>(size)) return size;
  return static_cast<std::size_t>(v);
}

bool MatrixFromNumbers(const std::vector<double>& v, TPDFMatrix& m) {
  if (v.size() != 6) return false;
  SetMatrix(m, v[0], v[1], v[2], v[3], v[4], v[5]);
  return IsFiniteMatrix(m) && std::abs(m.a * m.d - m.b * m.c) > 1e-12;
}

}  // namespace

bool FindOpenTypeCFF(std::string_view d, std::size_t& offset, std::size_t& length) {
  if (d.size() < 12 || d.substr(0, 4) != "OTTO") return false;
  const std::uint32_t tables = ReadBE(d, 4, 2);
  for (std::uint32_t t = 0; t < tables; ++t) {
    const std::size_t rec = 12 + static_cast<std::size_t>(t) * 16;
    if (rec + 16 > d.size()) break;
    if (d.substr(rec, 4) != "CFF ") continue;
    offset = ReadBE(d, rec + 8, 4);
    length = ReadBE(d, rec + 12, 4);
    if (offset >= d.size()) return false;
    length = std::min<std::size_t>(length, d.size() - offset);
    return true;
  }
  return false;
}

bool TCFFProgram::Load(std::string data) {
  m_data = std::move(data);
  m_cff = m_data;
  if (m_cff.substr(0, 4) == "OTTO") {
    std::size_t offset = 0, length = 0;
    if (!FindOpenTypeCFF(m_cff, offset, length)) return false;
    m_cff = m_cff.substr(offset, length);
  }
  for (std::string& name : m_encoding) name = ".notdef";
  if (m_cff.size() < 4 || m_cff[0] != 1) return false;
  std::size_t pos = static_cast<unsigned char>(m_cff[2]);
  TCFFIndex names = TCFFIndex::Read(m_cff, pos, pos);
  const TCFFIndex topDicts = TCFFIndex::Read(m_cff, pos, pos);
  m_strings = TCFFIndex::Read(m_cff, pos, pos);
  m_globalSubrs = TCFFIndex::Read(m_cff, pos, pos);
  if (names.Count() == 0 || topDicts.Count() == 0) return false;

  const TCFFDict top = TCFFDict::Parse(topDicts.Item(0));
  m_cidKeyed = top.Has(cffop::kROS);
  TPDFMatrix fm;
  if (MatrixFromNumbers(top.Numbers(cffop::kFontMatrix), fm)) {
    m_fontMatrix = fm;
    m_hasTopMatrix = true;
  }
  if (top.Number(cffop::kCharstringType, 2) != 2) return true;  // Type 1 charstrings in CFF
  std::size_t end = 0;
  m_charStrings =
      TCFFIndex::Read(m_cff, OffsetOperand(top.Number(cffop::kCharStrings, -1), m_cff.size()), end);
  // Glyph indexes are 16-bit everywhere else in a font.
  if (m_charStrings.Count() > 65535) m_charStrings = TCFFIndex{};

  ReadCharset(static_cast<std::size_t>(std::max(0.0, top.Number(cffop::kCharset, 0))));
  if (!m_cidKeyed) ReadEncoding(static_cast<std::size_t>(std::max(0.0, top.Number(cffop::kEncoding, 0))));

  m_top.Subrs = ReadPrivateSubrs(top.Numbers(cffop::kPrivate));
  if (m_cidKeyed) {
    const TCFFIndex fdArray = TCFFIndex::Read(
        m_cff, OffsetOperand(top.Number(cffop::kFDArray, -1), m_cff.size()), end);
    for (std::size_t i = 0; i < fdArray.Count() && i < 256; ++i)
      m_fds.push_back(ReadFontDict(fdArray.Item(i)));
    ReadFDSelect(OffsetOperand(top.Number(cffop::kFDSelect, -1), m_cff.size()));
  }
  return true;
}

TCFFIndex TCFFProgram::ReadPrivateSubrs(const std::vector<double>& priv) const {
  if (priv.size() != 2) return {};
  const std::size_t at = OffsetOperand(priv[1], m_cff.size());
  const std::size_t size = std::min(OffsetOperand(priv[0], m_cff.size()), m_cff.size() - at);
  const TCFFDict p = TCFFDict::Parse(m_cff.substr(at, size));
  // Subrs is an offset from the start of the Private DICT.
  const double rel = p.Number(cffop::kSubrs, -1);
  std::size_t end = 0;
  if (rel < 0) return {};
  return TCFFIndex::Read(m_cff, OffsetOperand(static_cast<double>(at) + rel, m_cff.size()), end);
}

TCFFFontDict TCFFProgram::ReadFontDict(std::string_view dictData) const {
  TCFFFontDict fd;
  const TCFFDict dict = TCFFDict::Parse(dictData);
  fd.HasMatrix = MatrixFromNumbers(dict.Numbers(cffop::kFontMatrix), fd.Matrix);
  fd.Subrs = ReadPrivateSubrs(dict.Numbers(cffop::kPrivate));
  return fd;
}

void TCFFProgram::ReadCharset(std::size_t offset) {
  const std::size_t n = m_charStrings.Count();
  m_charset.assign(n, 0);
  if (offset <= 2) {
    // The predefined charsets; Expert and ExpertSubset are named like ISOAdobe.
    for (std::size_t g = 1; g < n; ++g) m_charset[g] = static_cast<std::uint16_t>(g);
  } else if (offset < m_cff.size()) {
    const int format = static_cast<unsigned char>(m_cff[offset]);
    std::size_t pos = offset + 1, g = 1;
    while (g < n && pos < m_cff.size()) {
      if (format == 0) {
        if (pos + 2 > m_cff.size()) break;
        m_charset[g++] = static_cast<std::uint16_t>(ReadBE(m_cff, pos, 2));
        pos += 2;
        continue;
      }
      if (format != 1 && format != 2) break;
      const int leftSize = format == 1 ? 1 : 2;
      if (pos + 2 + leftSize > m_cff.size()) break;
      std::uint32_t first = ReadBE(m_cff, pos, 2);
      const std::uint32_t left = ReadBE(m_cff, pos + 2, leftSize);
      pos += 2 + leftSize;
      for (std::uint32_t k = 0; k <= left && g < n && first <= 0xFFFF; ++k)
        m_charset[g++] = static_cast<std::uint16_t>(first++);
    }
  }
  for (std::size_t g = 0; g < n; ++g) {
    if (m_cidKeyed) {
      m_glyphOfCID.emplace(m_charset[g], static_cast<int>(g));
    } else {
      const std::string_view name = StringOfSID(m_charset[g]);
      if (!name.empty()) m_glyphOfName.emplace(name, static_cast<int>(g));
    }
  }
}

void TCFFProgram::ReadEncoding(std::size_t offset) {
  if (offset == 1) return;  // Expert encoding: the built-in encoding stays as it was
  if (offset == 0) {
    for (int c = 0; c < 256; ++c) m_encoding[c] = StandardEncodingName(c);
    return;
  }
  if (offset >= m_cff.size()) return;
  const int format = static_cast<unsigned char>(m_cff[offset]);
  std::size_t pos = offset + 1;
  const auto assign = [&](std::uint32_t code, std::size_t gid) {
    if (code < 256 && gid < m_charset.size()) m_encoding[code] = std::string(GlyphName(static_cast<int>(gid)));
  };
  const std::uint32_t count = ReadBE(m_cff, pos, 1);
  ++pos;
  if ((format & 0x7F) == 0) {
    for (std::uint32_t k = 0; k < count && pos < m_cff.size(); ++k, ++pos)
      assign(static_cast<unsigned char>(m_cff[pos]), k + 1);
  } else if ((format & 0x7F) == 1) {
    std::size_t gid = 1;
    for (std::uint32_t r = 0; r < count && pos + 2 <= m_cff.size(); ++r, pos += 2) {
      const std::uint32_t first = ReadBE(m_cff, pos, 1), left = ReadBE(m_cff, pos + 1, 1);
      for (std::uint32_t k = 0; k <= left; ++k) assign(first + k, gid++);
    }
  } else {
    return;
  }
  if (format & 0x80) {  // supplements: extra codes for glyphs named by SID
    const std::uint32_t sups = ReadBE(m_cff, pos, 1);
    ++pos;
    for (std::uint32_t k = 0; k < sups && pos + 3 <= m_cff.size(); ++k, pos += 3) {
      const std::uint32_t code = ReadBE(m_cff, pos, 1);
      const std::string_view name = StringOfSID(static_cast<int>(ReadBE(m_cff, pos + 1, 2)));
      if (code < 256 && GlyphOfName(name) >= 0) m_encoding[code] = std::string(name);
    }
  }
}

void TCFFProgram::ReadFDSelect(std::size_t offset) {
  const std::size_t n = m_charStrings.Count();
  m_fdSelect.assign(n, 0);
  if (offset >= m_cff.size()) return;
  const int format = static_cast<unsigned char>(m_cff[offset]);
  if (format == 0) {
    for (std::size_t g = 0; g < n && offset + 1 + g < m_cff.size(); ++g)
      m_fdSelect[g] = static_cast<std::uint8_t>(m_cff[offset + 1 + g]);
  } else if (format == 3) {
    const std::uint32_t ranges = ReadBE(m_cff, offset + 1, 2);
    std::size_t pos = offset + 3;
    for (std::uint32_t r = 0; r < ranges && pos + 5 <= m_cff.size(); ++r, pos += 3) {
      const std::uint32_t first = ReadBE(m_cff, pos, 2), fd = ReadBE(m_cff, pos + 2, 1);
      const std::uint32_t next = ReadBE(m_cff, pos + 3, 2);
      for (std::uint32_t g = first; g < next && g < n; ++g) m_fdSelect[g] = static_cast<std::uint8_t>(fd);
    }
  }
}

std::string_view TCFFProgram::StringOfSID(int sid) const {
  if (sid < kCFFStandardStringCount) return CFFStandardString(sid);
  return m_strings.Item(static_cast<std::size_t>(sid - kCFFStandardStringCount));
}

std::string_view TCFFProgram::CharString(int gid) const {
  return gid < 0 ? std::string_view{} : m_charStrings.Item(static_cast<std::size_t>(gid));
}

const TCFFFontDict& TCFFProgram::FontDictOf(int gid) const {
  if (!m_cidKeyed || gid < 0 || static_cast<std::size_t>(gid) >= m_fdSelect.size()) return m_top;
  const std::size_t fd = m_fdSelect[static_cast<std::size_t>(gid)];
  return fd < m_fds.size() ? m_fds[fd] : m_top;
}

int TCFFProgram::GlyphOfName(std::string_view name) const {
  if (name == ".notdef") return m_charStrings.Count() > 0 ? 0 : -1;
  const auto it = m_glyphOfName.find(name);
  return it == m_glyphOfName.end() ? -1 : it->second;
}

int TCFFProgram::GlyphOfCID(unsigned cid) const {
  const auto it = m_glyphOfCID.find(cid);
  if (it != m_glyphOfCID.end()) return it->second;
  return cid == 0 && m_charStrings.Count() > 0 ? 0 : -1;
}

std::string_view TCFFProgram::GlyphName(int gid) const {
  if (gid < 0 || static_cast<std::size_t>(gid) >= m_charset.size() || m_cidKeyed) return {};
  return gid == 0 ? std::string_view(".notdef") : StringOfSID(m_charset[static_cast<std::size_t>(gid)]);
}

int TCFFProgram::GlyphOfStandardCode(int code) const {
  const std::string_view name = StandardEncodingName(code);
  return name == ".notdef" ? -1 : GlyphOfName(name);
}

}  // namespace kestrel
