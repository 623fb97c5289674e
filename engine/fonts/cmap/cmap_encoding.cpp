#include "engine/fonts/cmap/cmap_encoding.h"

#include <algorithm>

#include "engine/fonts/cmap/cmap_predefined.h"
#include "engine/fonts/font_limits.h"
#include "engine/fonts/type1/ps_tokenizer.h"
#include "engine/syntax/bytes.h"

namespace kestrel {
namespace {

// A "<hex>" code token: its bytes (1-4) big-endian.
bool HexBytes(std::string_view token, std::uint8_t out[4], int& count) {
  if (token.size() < 3 || token.front() != '<' || token.back() != '>') return false;
  int digits = 0;
  std::uint8_t buf[4] = {};
  for (const char c : token.substr(1, token.size() - 2)) {
    const int v = HexValue(static_cast<unsigned char>(c));
    if (v < 0) {
      if (IsPDFWhitespace(static_cast<unsigned char>(c))) continue;
      return false;
    }
    if (digits >= 8) return false;
    buf[digits / 2] = static_cast<std::uint8_t>(buf[digits / 2] * 16 + v);
    ++digits;
  }
  if (digits == 0) return false;
  count = (digits + 1) / 2;
  std::copy(buf, buf + 4, out);
  return true;
}

std::uint32_t ValueOf(const std::uint8_t* b, int n) {
  std::uint32_t v = 0;
  for (int k = 0; k < n; ++k) v = (v << 8) | b[k];
  return v;
}

bool ReadCID(std::string_view token, std::uint32_t& cid) {
  double v = 0;
  if (!ParsePSNumber(token, v) || v < 0 || v > limits::kMaxCID) return false;
  cid = static_cast<std::uint32_t>(v);
  return true;
}

bool RangeLess(const TPDFEncodingCMap::TRange& a, const TPDFEncodingCMap::TRange& b) {
  return a.Bytes != b.Bytes ? a.Bytes < b.Bytes : a.First < b.First;
}

}  // namespace

std::shared_ptr<TPDFEncodingCMap> TPDFEncodingCMap::Identity(int wmode) {
  auto cmap = std::make_shared<TPDFEncodingCMap>();
  cmap->m_name = wmode ? "Identity-V" : "Identity-H";
  cmap->m_wmode = wmode;
  cmap->m_identity = true;
  TCodespace cs;
  cs.Bytes = 2;
  cs.High[0] = cs.High[1] = 0xFF;
  cmap->m_codespace.push_back(cs);
  return cmap;
}

std::shared_ptr<TPDFEncodingCMap> TPDFEncodingCMap::Parse(
    std::string_view text, std::shared_ptr<const TPDFEncodingCMap> parent, int depth) {
  auto cmap = std::make_shared<TPDFEncodingCMap>();
  cmap->m_parent = std::move(parent);
  TPSTokenizer tok(text);
  std::string_view prev;
  const auto full = [&] {
    return cmap->m_ranges.size() + cmap->m_notdef.size() + cmap->m_codespace.size() >=
           limits::kMaxCMapRanges;
  };
  for (std::string_view t = tok.Next(); !t.empty() && !full(); prev = t, t = tok.Next()) {
    if (t == "begincodespacerange") {
      for (;;) {
        TCodespace cs;
        int n1 = 0, n2 = 0;
        if (!HexBytes(tok.Next(), cs.Low, n1) || !HexBytes(tok.Next(), cs.High, n2)) break;
        if (n1 != n2 || full()) continue;
        cs.Bytes = static_cast<std::uint8_t>(n1);
        cmap->m_codespace.push_back(cs);
      }
    } else if (t == "begincidrange" || t == "beginnotdefrange") {
      std::vector<TRange>& into = t == "begincidrange" ? cmap->m_ranges : cmap->m_notdef;
      for (;;) {
        std::uint8_t lo[4], hi[4];
        int n1 = 0, n2 = 0;
        TRange r;
        if (!HexBytes(tok.Next(), lo, n1) || !HexBytes(tok.Next(), hi, n2) || !ReadCID(tok.Next(), r.CID))
          break;
        r.First = ValueOf(lo, n1);
        r.Last = ValueOf(hi, n2);
        r.Bytes = static_cast<std::uint8_t>(n1);
        if (n1 == n2 && r.First <= r.Last && !full()) into.push_back(r);
      }
    } else if (t == "begincidchar") {
      for (;;) {
        std::uint8_t b[4];
        int n = 0;
        TRange r;
        if (!HexBytes(tok.Next(), b, n) || !ReadCID(tok.Next(), r.CID)) break;
        r.First = r.Last = ValueOf(b, n);
        r.Bytes = static_cast<std::uint8_t>(n);
        if (!full()) cmap->m_ranges.push_back(r);
      }
    } else if (t == "usecmap" && prev.size() > 1 && prev[0] == '/' && !cmap->m_parent) {
      if (depth < limits::kMaxUseCMapDepth) cmap->m_parent = PredefinedCMap(prev.substr(1), depth + 1);
    } else if (t == "/WMode") {
      double v = 0;
      if (ParsePSNumber(tok.Next(), v)) cmap->m_wmode = v == 1 ? 1 : 0;
    } else if (t == "/CMapName") {
      const std::string_view n = tok.Next();
      if (n.size() > 1 && n[0] == '/') cmap->m_name = std::string(n.substr(1));
    }
  }
  cmap->Finish();
  return cmap;
}

void TPDFEncodingCMap::Finish() {
  std::stable_sort(m_ranges.begin(), m_ranges.end(), RangeLess);
  std::stable_sort(m_notdef.begin(), m_notdef.end(), RangeLess);
  if (m_parent) {
    m_codespace.insert(m_codespace.end(), m_parent->m_codespace.begin(), m_parent->m_codespace.end());
  }
  if (m_codespace.empty()) {  // a CMap without codespace ranges reads two-byte codes
    TCodespace cs;
    cs.Bytes = 2;
    cs.High[0] = cs.High[1] = 0xFF;
    m_codespace.push_back(cs);
  }
}

int TPDFEncodingCMap::CodeLength(std::string_view bytes) const {
  for (int n = 1; n <= 4 && n <= static_cast<int>(bytes.size()); ++n) {
    for (const TCodespace& cs : m_codespace) {
      if (cs.Bytes != n) continue;
      bool in = true;
      for (int k = 0; k < n && in; ++k) {
        const std::uint8_t b = static_cast<std::uint8_t>(bytes[k]);
        in = b >= cs.Low[k] && b <= cs.High[k];
      }
      if (in) return n;
    }
  }
  return -1;
}

void TPDFEncodingCMap::Split(std::string_view bytes, std::vector<TCharCode>& out) const {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::string_view rest = bytes.substr(pos);
    int n = CodeLength(rest);
    bool valid = n > 0;
    if (!valid) {
      // No range matches: the shortest range whose first byte fits, else the shortest range.
      int shortest = 4, fitting = 5;
      const std::uint8_t b0 = static_cast<std::uint8_t>(rest[0]);
      for (const TCodespace& cs : m_codespace) {
        shortest = std::min<int>(shortest, cs.Bytes);
        if (b0 >= cs.Low[0] && b0 <= cs.High[0]) fitting = std::min<int>(fitting, cs.Bytes);
      }
      n = fitting <= 4 ? fitting : shortest;
      if (n > static_cast<int>(rest.size())) break;  // a partial last code is dropped
    }
    TCharCode c;
    c.Code = ValueOf(reinterpret_cast<const std::uint8_t*>(rest.data()), n);
    c.Length = static_cast<std::uint8_t>(n);
    c.CID = valid ? CIDOf(c.Code, n) : 0;
    out.push_back(c);
    pos += static_cast<std::size_t>(n);
  }
}

const TPDFEncodingCMap::TRange* TPDFEncodingCMap::Lookup(const std::vector<TRange>& ranges,
                                                         std::uint32_t code, int length) {
  TRange key;
  key.Bytes = static_cast<std::uint8_t>(length);
  key.First = code;
  auto it = std::upper_bound(ranges.begin(), ranges.end(), key, RangeLess);
  // Ranges may overlap: walk back over those of this length starting at or below the code.
  for (int steps = 0; it != ranges.begin() && steps < 64; ++steps) {
    --it;
    if (it->Bytes != length) break;
    if (code <= it->Last) return &*it;
  }
  return nullptr;
}

std::uint32_t TPDFEncodingCMap::CIDOf(std::uint32_t code, int length) const {
  if (const TRange* r = Lookup(m_ranges, code, length)) return r->CID + (code - r->First);
  if (m_identity) return code;
  if (m_parent) {
    const std::uint32_t cid = m_parent->CIDOf(code, length);
    if (cid != 0) return cid;
  }
  // Unmapped codes take the CID of their notdef range, all alike.
  if (const TRange* r = Lookup(m_notdef, code, length)) return r->CID;
  return 0;
}

}  // namespace kestrel
