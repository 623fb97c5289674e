#include "engine/fonts/glyph_names.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

#include "engine/syntax/objects.h"

namespace kestrel {

namespace {

#include "engine/fonts/glyph_tables.inc"

// The glyph list inflated once: 58 three-byte offsets for the first letters 'A' to 'z', then
// the entries sorted by name, each a length byte, the name and the value (two bytes, little
// endian). An offset is the 1-based position of the first entry with that letter, 0 for none.
const std::vector<unsigned char>& GlyphList() {
  static const std::vector<unsigned char> list = [] {
    std::vector<unsigned char> out(kGlyphListSize);
    uLongf size = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &size, kGlyphListPacked, sizeof kGlyphListPacked) != Z_OK ||
        size != out.size()) {
      out.clear();  // every name then maps to 0
    }
    return out;
  }();
  return list;
}

}  // namespace

int BaseEncodingNumber(std::string_view name) {
  if (name == "StandardEncoding") return kStandardEncoding;
  if (name == "MacRomanEncoding") return kMacRomanEncoding;
  if (name == "WinAnsiEncoding") return kWinAnsiEncoding;
  if (name == "PDFDocEncoding") return kPDFDocEncoding;
  if (name == "MacExpertEncoding") return kMacExpertEncoding;
  return -1;
}

const TLatinGlyph* FindLatinGlyph(std::string_view name) {
  const auto* end = std::end(kLatinGlyphs);
  const auto* it = std::lower_bound(std::begin(kLatinGlyphs), end, name,
                                    [](const TLatinGlyph& g, std::string_view n) {
                                      return std::string_view(g.Name) < n;
                                    });
  return it != end && std::string_view(it->Name) == name ? it : nullptr;
}

TPDFCharsetNames FillBaseEncoding(int encoding) {
  TPDFCharsetNames names;
  // MacExpertEncoding's small capitals and old-style figures are not in the Latin set: such a
  // font keeps its program's own encoding or .notdef.
  if (encoding >= kStandardEncoding && encoding <= kPDFDocEncoding) {
    for (const TLatinGlyph& g : kLatinGlyphs) {
      const int code = g.Codes[static_cast<std::size_t>(encoding)];
      if (code >= 0 && code <= 255) names[static_cast<std::size_t>(code)] = g.Name;
    }
  }
  for (int c = 0; c < 256; ++c) {
    std::string& n = names[static_cast<std::size_t>(c)];
    if (!n.empty()) continue;
    if (encoding == kWinAnsiEncoding && c > 32) {
      n = c == 160 ? "space" : c == 173 ? "hyphen" : "bullet";
    } else if (encoding == kMacRomanEncoding && c == 202) {
      n = "space";
    } else {
      n = ".notdef";
    }
  }
  return names;
}

void ApplyDifferences(TPDFCharsetNames& names, const TPDFArray& differences) {
  long code = 0;
  for (TPDFObject* item : differences.Items()) {
    if (auto* n = As<TPDFNumeric>(item)) {
      const double v = std::nearbyint(n->Value);
      code = std::isfinite(v) && std::fabs(v) < 1e9 ? static_cast<long>(v) : -1;
    } else if (auto* name = As<TPDFName>(item)) {
      if (code >= 0 && code <= 255) names[static_cast<std::size_t>(code)] = name->Value;
      if (code >= 0) ++code;
    }
  }
}

std::uint16_t GlyphNameToUnicode(std::string_view name) {
  if (name.empty() || name[0] < 'A' || name[0] > 'z') return 0;
  const std::vector<unsigned char>& list = GlyphList();
  if (list.size() < 58 * 3) return 0;
  const std::size_t slot = static_cast<std::size_t>(name[0] - 'A') * 3;
  std::size_t pos = list[slot] | (list[slot + 1] << 8) | (std::size_t{list[slot + 2]} << 16);
  if (pos == 0) return 0;
  for (--pos; pos < list.size();) {
    const std::size_t len = list[pos];
    if (len == 0 || pos + 1 + len + 2 > list.size()) return 0;
    const std::string_view entry(reinterpret_cast<const char*>(&list[pos + 1]), len);
    if (entry[0] != name[0]) return 0;
    if (entry == name) return static_cast<std::uint16_t>(list[pos + 1 + len] |
                                                         (list[pos + 2 + len] << 8));
    pos += 1 + len + 2;
  }
  return 0;
}

}  // namespace kestrel
