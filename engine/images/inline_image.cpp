#include "engine/images/inline_image.h"

#include <cstdint>
#include <string>

#include "engine/syntax/content_tokenizer.h"
#include "engine/syntax/filters.h"
#include "engine/syntax/structure.h"

namespace kestrel {

namespace {

// Inflate attempts made while looking for the end of Flate data.
constexpr int kMaxInflateTries = 64;

TByteView Expand(TByteView name) {
  if (name == "/G") return "/DeviceGray";
  if (name == "/RGB") return "/DeviceRGB";
  if (name == "/CMYK") return "/DeviceCMYK";
  if (name == "/I") return "/Indexed";
  if (name == "/AHx") return "/ASCIIHexDecode";
  if (name == "/A85") return "/ASCII85Decode";
  if (name == "/LZW") return "/LZWDecode";
  if (name == "/Fl") return "/FlateDecode";
  if (name == "/RL") return "/RunLengthDecode";
  if (name == "/CCF") return "/CCITTFaxDecode";
  if (name == "/DCT") return "/DCTDecode";
  return name;
}

struct TInlineDict {
  std::int64_t width = 0, height = 0, bpc = 0;
  bool mask = false;
  int components = 1;
  std::string filter;  // the first filter's name ("/FlateDecode"), or "" for none
  int filterCount = 0;
  bool a85ThenFlate = false;
};

bool IsWhite(char c) { return IsPDFWhitespace(static_cast<unsigned char>(c)); }

// A size from the dictionary: 0 unless positive, and saturated far above any real image.
std::int64_t SizeValue(TByteView token) {
  const double v = OperandNumber(token);
  if (!(v > 0)) return 0;
  return v >= 1e12 ? std::int64_t{1'000'000'000'000} : static_cast<std::int64_t>(v);
}

bool EndsEI(TByteView text, std::size_t i) {
  return i + 2 >= text.size() || IsWhite(text[i + 2]) || text[i + 2] == '/' ||
         text[i + 2] == '[' || text[i + 2] == '<' || text[i + 2] == '(';
}

// "EI" at i standing as a token of its own.
bool IsEI(TByteView text, std::size_t i, std::size_t dataStart) {
  return i + 1 < text.size() && text[i] == 'E' && text[i + 1] == 'I' &&
         (i == dataStart || IsWhite(text[i - 1])) && EndsEI(text, i);
}

std::size_t SearchEI(TByteView text, std::size_t from, std::size_t dataStart) {
  for (std::size_t i = from; i + 1 < text.size(); ++i)
    if (IsEI(text, i, dataStart)) return i;
  return TByteView::npos;
}

std::size_t WalkJpeg(TByteView t, std::size_t i) {
  // Markers up to the end of image; entropy-coded data is skipped to the next real marker.
  if (i + 1 >= t.size() || static_cast<unsigned char>(t[i]) != 0xFF ||
      static_cast<unsigned char>(t[i + 1]) != 0xD8)
    return i;
  i += 2;
  while (i + 1 < t.size()) {
    if (static_cast<unsigned char>(t[i]) != 0xFF) {
      ++i;
      continue;
    }
    const auto m = static_cast<unsigned char>(t[i + 1]);
    if (m == 0xD9) return i + 2;
    if (m == 0xFF || m == 0x00 || m == 0x01 || (m >= 0xD0 && m <= 0xD7)) {
      i += m == 0xFF ? 1 : 2;
      continue;
    }
    if (i + 3 >= t.size()) return t.size();
    const std::size_t len = (static_cast<unsigned char>(t[i + 2]) << 8) |
                            static_cast<unsigned char>(t[i + 3]);
    i += 2 + len;
    if (m == 0xDA) {
      // Scan data: on to the next marker that is not a stuffed zero or a restart.
      while (i + 1 < t.size()) {
        if (static_cast<unsigned char>(t[i]) == 0xFF) {
          const auto n = static_cast<unsigned char>(t[i + 1]);
          if (n != 0x00 && !(n >= 0xD0 && n <= 0xD7)) break;
        }
        ++i;
      }
    }
  }
  return t.size();
}

std::int64_t ExpectedSize(const TInlineDict& d) {
  if (d.width <= 0 || d.height <= 0 || d.bpc <= 0) return 0;
  const std::int64_t kCap = std::int64_t{1} << 40;
  if (d.width > kCap / 64 || d.height > kCap / 64) return kCap;
  const std::int64_t bitsPerRow = d.width * d.bpc * (d.mask ? 1 : d.components);
  const std::int64_t row = (bitsPerRow + 7) / 8;
  if (row > kCap / d.height) return kCap;
  return row * d.height;
}

}  // namespace

TInlineImageExtent FindInlineImageEnd(TByteView content, std::size_t offset,
                                      const TInlineSpaceComponents& namedSpace) {
  TInlineImageExtent out;
  out.Next = content.size();
  TContentTokenizer tokens(content);
  tokens.SetOffset(offset);
  TInlineDict d;
  // Reads a value: a single token, or the tokens of an array up to "]".
  auto readValue = [&](std::string& first, int& count) {
    TByteView v = tokens.Next();
    count = 0;
    if (v != "[") {
      first.assign(Expand(v));
      count = v.empty() ? 0 : 1;
      return;
    }
    for (;;) {
      TByteView item = tokens.Next();
      if (item.empty() || item == "]") return;
      if (count++ == 0) first.assign(Expand(item));
      else if (count == 2 && first == "/ASCII85Decode" && Expand(item) == "/FlateDecode")
        d.a85ThenFlate = true;
    }
  };
  bool sawID = false;
  for (;;) {
    const TByteView key = tokens.Next();
    if (key.empty()) break;
    if (key == "ID") {
      sawID = true;
      out.IdOffset = tokens.Offset() - 2;
      break;
    }
    std::string value;
    int count = 0;
    if (key == "/W" || key == "/Width") {
      readValue(value, count);
      d.width = SizeValue(value);
    } else if (key == "/H" || key == "/Height") {
      readValue(value, count);
      d.height = SizeValue(value);
    } else if (key == "/BPC" || key == "/BitsPerComponent") {
      readValue(value, count);
      d.bpc = SizeValue(value);
    } else if (key == "/IM" || key == "/ImageMask") {
      readValue(value, count);
      d.mask = value == "true";
    } else if (key == "/CS" || key == "/ColorSpace") {
      readValue(value, count);
      if (value == "/DeviceGray" || value == "/CalGray" || value == "/Indexed") {
        d.components = 1;
      } else if (value == "/DeviceRGB" || value == "/CalRGB") {
        d.components = 3;
      } else if (value == "/DeviceCMYK") {
        d.components = 4;
      } else if (!value.empty() && value.front() == '/') {
        const int n = namedSpace ? namedSpace(TByteView(value).substr(1)) : 0;
        d.components = n > 0 ? n : 1;
      }
    } else if (key == "/F" || key == "/Filter") {
      readValue(value, count);
      d.filter = value;
      d.filterCount = count;
    } else if (key.size() > 1 && key.front() == '/') {
      readValue(value, count);  // a key we do not need: its value is skipped
    }
  }
  if (!sawID) return out;
  // One whitespace byte separates ID from the data.
  std::size_t start = tokens.Offset();
  if (start < content.size() && IsWhite(content[start])) ++start;
  out.DataStart = start;

  const std::int64_t expected = d.mask && d.bpc <= 0 ? 0 : ExpectedSize(d);
  std::size_t ei = TByteView::npos;
  if (d.filterCount == 0) {
    const std::int64_t remaining = static_cast<std::int64_t>(content.size() - start);
    const std::size_t from = expected > 0 && expected <= remaining
                                 ? start + static_cast<std::size_t>(expected)
                                 : start;
    ei = SearchEI(content, from, from);
    if (ei == TByteView::npos && from != start) ei = SearchEI(content, start, start);
  } else if (d.filter == "/DCTDecode") {
    const std::size_t end = WalkJpeg(content, start);
    ei = SearchEI(content, end, end);
  } else if (d.a85ThenFlate || (d.filter == "/ASCII85Decode" && d.filterCount == 1)) {
    const std::size_t close = content.find("~>", start);
    const std::size_t from = close == TByteView::npos ? start : close + 2;
    ei = SearchEI(content, from, from);
  } else if (d.filter == "/FlateDecode" && d.filterCount == 1 && expected > 0) {
    // The first "EI" after which the compressed bytes inflate to (nearly) the image's size.
    int tries = 0;
    for (std::size_t at = SearchEI(content, start, start); at != TByteView::npos;
         at = SearchEI(content, at + 1, start)) {
      if (tries++ >= kMaxInflateTries) {
        ei = at;
        break;
      }
      // Only the image's size is needed: a bomb in the data stops there.
      const TBytes inflated =
          InflateBytes(content.substr(start, at - start), static_cast<std::size_t>(expected));
      if (static_cast<std::int64_t>(inflated.size()) >= expected - 3) {
        ei = at;
        break;
      }
    }
    if (ei == TByteView::npos) ei = SearchEI(content, start, start);
  } else {
    ei = SearchEI(content, start, start);
  }
  if (ei == TByteView::npos) return out;
  out.Found = true;
  out.DataEnd = ei;
  out.Next = ei + 2;
  return out;
}

namespace {

TByteView FullKey(TByteView key) {
  if (key == "W") return "Width";
  if (key == "H") return "Height";
  if (key == "BPC") return "BitsPerComponent";
  if (key == "CS") return "ColorSpace";
  if (key == "D") return "Decode";
  if (key == "DP") return "DecodeParms";
  if (key == "F") return "Filter";
  if (key == "IM") return "ImageMask";
  if (key == "I") return "Interpolate";
  if (key == "L") return "Length";
  return key;
}

// Names of a ColorSpace or Filter value (the value itself, or the items of its array).
void ExpandNames(TPDFObject* value, TPDFStructure& pool) {
  auto expand = [&](TPDFObject* item) {
    if (auto* name = As<TPDFName>(item)) {
      const TBytes slashed = "/" + name->Value;
      const TByteView full = Expand(slashed);
      if (full != TByteView(slashed)) name->SetValue(TBytes(full.substr(1)));
    }
  };
  (void)pool;
  expand(value);
  if (auto* array = As<TPDFArray>(value))
    for (TPDFObject* item : array->Items()) expand(item);
}

}  // namespace

TInlineImage ReadInlineImage(TByteView content, std::size_t offset, TPDFStructure& pool,
                             const TInlineSpaceComponents& namedSpace) {
  TInlineImage out;
  const TInlineImageExtent extent = FindInlineImageEnd(content, offset, namedSpace);
  out.Next = extent.Next;
  if (!extent.Found || extent.IdOffset < offset) return out;
  TBytes text = "<<";
  text.append(content.substr(offset, extent.IdOffset - offset));
  text.append(">>");
  auto* parsed = As<TPDFDictionary>(pool.ParseObject(text));
  TPDFDictionary* dict = pool.NewDictionary();
  if (parsed) {
    for (const auto& [key, value] : parsed->Entries()) {
      if (!key || !value) continue;
      const TByteView full = FullKey(key->Value);
      if (full == "ColorSpace" || full == "Filter") ExpandNames(value, pool);
      dict->SetValue(full, value);
    }
  }
  out.Stream = pool.NewStreamOf(
      dict, TBytes(content.substr(extent.DataStart, extent.DataEnd - extent.DataStart)));
  return out;
}

}  // namespace kestrel
