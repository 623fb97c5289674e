#include "engine/fonts/type1/type1_program.h"

#include <cmath>
#include <cstdint>

#include "engine/fonts/type1/cff_standard_data.h"
#include "engine/fonts/type1/ps_tokenizer.h"
#include "engine/syntax/bytes.h"

namespace kestrel {
namespace {

constexpr unsigned short kEexecKey = 55665;
constexpr unsigned short kCharstringKey = 4330;
// Glyphs and subroutines of one font; real fonts have a few thousand at most.
constexpr std::size_t kMaxEntries = 65536;

// PFB files wrap the parts in segments (0x80, type, 32-bit little-endian length).
std::string UnwrapPFB(std::string_view data, std::size_t& length1) {
  std::string flat;
  std::size_t pos = 0;
  bool first = true;
  while (data.size() - pos >= 6 && static_cast<unsigned char>(data[pos]) == 0x80) {
    const int type = static_cast<unsigned char>(data[pos + 1]);
    if (type != 1 && type != 2) break;
    std::uint32_t len = 0;
    for (int k = 3; k >= 0; --k) len = (len << 8) | static_cast<unsigned char>(data[pos + 2 + k]);
    pos += 6;
    const std::size_t take = std::min<std::size_t>(len, data.size() - pos);
    flat.append(data.substr(pos, take));
    pos += take;
    if (first) length1 = flat.size();
    first = false;
  }
  return flat;
}

bool LooksHex(std::string_view d) {
  if (d.size() < 4) return false;
  for (int k = 0; k < 4; ++k)
    if (HexValue(static_cast<unsigned char>(d[k])) < 0) return false;
  return true;
}

std::string HexToBytes(std::string_view d) {
  std::string out;
  out.reserve(d.size() / 2);
  int high = -1;
  for (const char ch : d) {
    const int v = HexValue(static_cast<unsigned char>(ch));
    if (v < 0) {
      if (IsPDFWhitespace(static_cast<unsigned char>(ch))) continue;
      break;
    }
    if (high < 0) {
      high = v;
    } else {
      out += static_cast<char>(high * 16 + v);
      high = -1;
    }
  }
  return out;
}

// Decrypts the private part starting at `start`, in binary or hexadecimal form.
std::string DecryptPrivate(std::string_view data, std::size_t start) {
  const std::string_view part = data.substr(std::min(start, data.size()));
  if (LooksHex(part)) return DecryptType1(HexToBytes(part), kEexecKey, 4);
  return DecryptType1(part, kEexecKey, 4);
}

bool LooksLikePrivate(std::string_view plain) {
  const std::string_view head = plain.substr(0, 1024);
  for (std::string_view key : {"/Private", "/Subrs", "/CharStrings", "/lenIV", "/BlueValues"})
    if (head.find(key) != std::string_view::npos) return true;
  return false;
}

bool ReadInteger(std::string_view token, long& value) {
  double v = 0;
  if (!ParsePSNumber(token, v) || !(std::fabs(v) < 1e9) || v != std::floor(v)) return false;
  value = static_cast<long>(v);
  return true;
}

}  // namespace

std::string DecryptType1(std::string_view data, unsigned short key, int skip) {
  std::string out;
  if (skip < 0) return std::string(data);  // lenIV -1: the charstrings are not encrypted
  if (data.size() > static_cast<std::size_t>(skip)) out.reserve(data.size() - skip);
  unsigned short r = key;
  for (std::size_t i = 0; i < data.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (i >= static_cast<std::size_t>(skip)) out += static_cast<char>(c ^ (r >> 8));
    r = static_cast<unsigned short>((c + r) * 52845u + 22719u);
  }
  return out;
}

bool TType1Program::Load(std::string_view data, std::size_t length1) {
  for (int c = 0; c < 256; ++c) m_encoding[c] = std::string(StandardEncodingName(c));
  std::string flat;
  if (!data.empty() && static_cast<unsigned char>(data[0]) == 0x80) {
    flat = UnwrapPFB(data, length1);
    data = flat;
  }
  const std::size_t eexec = data.find("eexec");
  const std::size_t clearEnd = eexec == std::string_view::npos ? std::min(length1, data.size()) : eexec;
  ParseClearText(data.substr(0, clearEnd));

  // Length1 is often off by a line end; try it and the bytes after "eexec".
  std::size_t candidates[2] = {length1, std::string_view::npos};
  if (eexec != std::string_view::npos) {
    std::size_t p = eexec + 5;
    while (p < data.size() && (data[p] == '\r' || data[p] == '\n' || data[p] == ' ' || data[p] == '\t')) ++p;
    candidates[1] = p;
  }
  for (const std::size_t start : candidates) {
    if (start == 0 || start >= data.size()) continue;
    const std::string plain = DecryptPrivate(data, start);
    if (LooksLikePrivate(plain)) return ParsePrivate(plain);
  }
  return false;
}

void TType1Program::ParseClearText(std::string_view text) {
  TPSTokenizer tok(text);
  for (std::string_view t = tok.Next(); !t.empty(); t = tok.Next()) {
    if (t == "/FontMatrix") {
      double v[6];
      int n = 0;
      std::string_view u = tok.Next();
      if (u != "[" && u != "{") continue;
      for (u = tok.Next(); n < 6 && ParsePSNumber(u, v[n]); u = tok.Next()) ++n;
      TPDFMatrix m;
      if (n == 6) SetMatrix(m, v[0], v[1], v[2], v[3], v[4], v[5]);
      if (n == 6 && IsFiniteMatrix(m) && std::fabs(m.a * m.d - m.b * m.c) > 1e-12) m_fontMatrix = m;
    } else if (t == "/Encoding") {
      std::string_view u = tok.Next();
      if (u == "StandardEncoding") continue;
      // "256 array 0 1 255 {1 index exch /.notdef put} for dup 32 /space put ... def"
      for (std::string& name : m_encoding) name = ".notdef";
      int depth = 0;
      std::string_view prev2, prev1;
      for (; !u.empty(); u = tok.Next()) {
        if (u == "{") ++depth;
        else if (u == "}") --depth;
        else if (depth == 0 && (u == "def" || u == "readonly")) break;
        long code = 0;
        if (u == "put" && prev2.size() > 0 && ReadInteger(prev2, code) && code >= 0 && code < 256 &&
            prev1.size() > 1 && prev1[0] == '/')
          m_encoding[static_cast<std::size_t>(code)] = std::string(prev1.substr(1));
        prev2 = prev1;
        prev1 = u;
      }
    } else if (t == "eexec") {
      break;
    }
  }
}

bool TType1Program::ParsePrivate(std::string_view plain) {
  TPSTokenizer tok(plain);
  std::string rdName = "RD", altRdName = "-|";
  enum { kNone, kSubrs, kCharStrings } section = kNone;
  std::string_view prev2, prev1, lastLiteral;
  int braceDepth = 0;
  std::string_view procName;
  long charStringCount = -1;
  std::vector<std::pair<long, std::string>> subrs;

  for (std::string_view t = tok.Next(); !t.empty(); t = tok.Next()) {
    if (t == "{") {
      if (braceDepth++ == 0) procName = lastLiteral;
    } else if (t == "}") {
      if (braceDepth > 0) --braceDepth;
    } else if (t == "readstring" && braceDepth > 0 && procName.size() > 1) {
      rdName = std::string(procName.substr(1));  // the font's own name for the read procedure
    } else if (t == "/lenIV") {
      long v = 0;
      const std::string_view u = tok.Next();
      if (ReadInteger(u, v) && v >= -1 && v < 256) m_lenIV = static_cast<int>(v);
      t = u;
    } else if (t == "/Subrs") {
      section = kSubrs;
    } else if (t == "/CharStrings") {
      section = kCharStrings;
      long v = 0;
      const std::string_view u = tok.Next();
      if (ReadInteger(u, v)) charStringCount = v;
      t = u;
    } else if (section != kNone && (t == rdName || t == altRdName) && braceDepth == 0) {
      long n = 0;
      if (!ReadInteger(prev1, n) || n < 0) break;
      const std::size_t at = tok.Position() + 1;  // one separator byte, then the data
      if (at > plain.size() || plain.size() - at < static_cast<std::size_t>(n)) break;
      const std::string_view bytes = plain.substr(at, static_cast<std::size_t>(n));
      tok.Seek(at + static_cast<std::size_t>(n));
      if (section == kSubrs) {
        long index = 0;
        if (ReadInteger(prev2, index) && index >= 0 && static_cast<std::size_t>(index) < kMaxEntries)
          subrs.emplace_back(index, DecryptType1(bytes, kCharstringKey, m_lenIV));
      } else if (prev2.size() > 1 && prev2[0] == '/' && m_charStrings.size() < kMaxEntries) {
        m_glyphOfName.emplace(std::string(prev2.substr(1)), static_cast<int>(m_charStrings.size()));
        m_charStrings.push_back(DecryptType1(bytes, kCharstringKey, m_lenIV));
        if (charStringCount >= 0 && static_cast<long>(m_charStrings.size()) >= charStringCount) break;
      }
      prev2 = prev1 = {};
      continue;
    }
    if (t.size() > 1 && t[0] == '/') lastLiteral = t;
    prev2 = prev1;
    prev1 = t;
  }
  std::size_t count = 0;
  for (const auto& s : subrs) count = std::max(count, static_cast<std::size_t>(s.first) + 1);
  m_subrs.resize(count);
  for (auto& s : subrs) m_subrs[static_cast<std::size_t>(s.first)] = std::move(s.second);
  return !m_charStrings.empty();
}

std::string_view TType1Program::CharString(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= m_charStrings.size()) return {};
  return m_charStrings[static_cast<std::size_t>(index)];
}

std::string_view TType1Program::Subr(double index) const {
  if (!(index >= 0) || index >= static_cast<double>(m_subrs.size())) return {};
  return m_subrs[static_cast<std::size_t>(index)];
}

std::size_t TType1Program::MemorySize() const {
  std::size_t n = sizeof(*this);
  for (const std::string& s : m_charStrings) n += sizeof(s) + s.capacity();
  for (const std::string& s : m_subrs) n += sizeof(s) + s.capacity();
  return n + m_glyphOfName.size() * 64;
}

int TType1Program::GlyphOfName(std::string_view name) const {
  const auto it = m_glyphOfName.find(std::string(name));
  return it == m_glyphOfName.end() ? -1 : it->second;
}

}  // namespace kestrel
