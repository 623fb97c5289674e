#include "engine/render/annotation_appearance_kit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "engine/fonts/glyph_names.h"
#include "engine/fonts/standard/standard_fonts.h"
#include "engine/graphics/format_decimal.h"
#include "engine/syntax/content_tokenizer.h"

namespace kestrel::appearance {

std::string Num(double v) { return FormatDecimal(3, std::isfinite(v) ? v : 0.0); }

int ClampedInt(double v, int lo, int hi) {
  return std::isnan(v) ? lo : static_cast<int>(std::clamp(v, double(lo), double(hi)));
}

bool TBuilder::Numbers(TPDFObject* obj, std::vector<double>& out, int most) {
  out.clear();
  auto* array = As<TPDFArray>(obj);
  if (!array) return false;
  for (int i = 0; i < array->Count() && i < most; ++i) {
    auto* n = As<TPDFNumeric>(r_.ResolveObject(array->Item(i)));
    if (!n || !std::isfinite(n->Value)) return false;
    out.push_back(n->Value);
  }
  return true;
}

double TBuilder::Number(TPDFObject* obj, double fallback) {
  auto* n = As<TPDFNumeric>(obj);
  return n && std::isfinite(n->Value) ? n->Value : fallback;
}

std::string TBuilder::Colour(TPDFObject* obj, bool stroke) {
  std::vector<double> c;
  if (!Numbers(obj, c, 4)) return {};
  std::string s;
  for (double v : c) s += Num(std::clamp(v, 0.0, 1.0)) + " ";
  switch (c.size()) {
    case 1: return s + (stroke ? "G\n" : "g\n");
    case 3: return s + (stroke ? "RG\n" : "rg\n");
    case 4: return s + (stroke ? "K\n" : "k\n");
    default: return {};
  }
}

double TBuilder::BorderWidth(std::string& dash, double fallback) {
  if (auto* bs = As<TPDFDictionary>(Get("BS"))) {
    auto* style = As<TPDFName>(Get(*bs, "S"));
    if (style && style->Value == "D") {
      std::vector<double> d;
      if (!Numbers(Get(*bs, "D"), d, 16) || d.empty()) d = {3};
      dash = "[";
      for (double v : d) dash += Num(std::max(v, 0.0)) + " ";
      dash += "] 0 d\n";
    }
    return std::clamp(Number(Get(*bs, "W"), 1), 0.0, 1000.0);
  }
  // [horizontal-radius vertical-radius width dash-array]
  auto* border = As<TPDFArray>(Get("Border"));
  if (!border || border->Count() < 3) return fallback;
  auto* width = As<TPDFNumeric>(Resolve(border->Item(2)));
  std::vector<double> d;
  if (border->Count() > 3 && Numbers(Resolve(border->Item(3)), d, 16) && !d.empty()) {
    dash = "[";
    for (double v : d) dash += Num(std::max(v, 0.0)) + " ";
    dash += "] 0 d\n";
  }
  return width && std::isfinite(width->Value) ? std::clamp(width->Value, 0.0, 1000.0) : fallback;
}

std::string RectPath(double x, double y, double w, double h) {
  return Num(x) + " " + Num(y) + " " + Num(w) + " " + Num(h) + " re\n";
}

std::string Ellipse(double x0, double y0, double x1, double y1) {
  const double k = 0.5523;
  const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, rx = (x1 - x0) / 2, ry = (y1 - y0) / 2;
  auto pt = [](double x, double y) { return Num(x) + " " + Num(y) + " "; };
  std::string s = pt(cx + rx, cy) + "m\n";
  s += pt(cx + rx, cy + k * ry) + pt(cx + k * rx, cy + ry) + pt(cx, cy + ry) + "c\n";
  s += pt(cx - k * rx, cy + ry) + pt(cx - rx, cy + k * ry) + pt(cx - rx, cy) + "c\n";
  s += pt(cx - rx, cy - k * ry) + pt(cx - k * rx, cy - ry) + pt(cx, cy - ry) + "c\n";
  s += pt(cx + k * rx, cy - ry) + pt(cx + rx, cy - k * ry) + pt(cx + rx, cy) + "c h\n";
  return s;
}

std::string Polyline(const std::vector<double>& v, bool close) {
  std::string s;
  for (std::size_t i = 0; i + 1 < v.size(); i += 2)
    s += Num(v[i]) + " " + Num(v[i + 1]) + (i == 0 ? " m\n" : " l\n");
  if (close && !s.empty()) s += "h\n";
  return s;
}

std::u32string TextOf(TByteView bytes) {
  std::u32string out;
  if (bytes.size() >= 2 && std::uint8_t(bytes[0]) == 0xFE && std::uint8_t(bytes[1]) == 0xFF) {
    for (std::size_t i = 2; i + 1 < bytes.size() && out.size() < kMaxText; i += 2) {
      char32_t u = (char32_t(std::uint8_t(bytes[i])) << 8) | std::uint8_t(bytes[i + 1]);
      if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
        const char32_t lo = (char32_t(std::uint8_t(bytes[i + 2])) << 8) | std::uint8_t(bytes[i + 3]);
        u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
        i += 2;
      }
      out.push_back(u);
    }
    return out;
  }
  for (std::size_t i = 0; i < bytes.size() && out.size() < kMaxText; ++i)
    out.push_back(std::uint8_t(bytes[i]));
  return out;
}

std::string LiteralString(const std::string& codes) {
  std::string s = "(";
  for (char c : codes) {
    if (c == '(' || c == ')' || c == '\\') s += '\\';
    if (c == '\r' || c == '\n') continue;
    s += c;
  }
  return s + ")";
}

TDefaultAppearance ParseDA(TByteView da) {
  TDefaultAppearance out;
  TContentTokenizer tokens(da);
  std::vector<std::string> operands;
  for (int guard = 0; guard < 256; ++guard) {
    const TByteView t = tokens.Next();
    if (t.empty()) break;
    const std::string token(t);
    if (token == "Tf" && operands.size() >= 2) {
      out.Font = operands[operands.size() - 2];
      out.Size = std::atof(operands.back().c_str());
    } else if ((token == "g" && !operands.empty()) || (token == "rg" && operands.size() >= 3) ||
               (token == "k" && operands.size() >= 4)) {
      const std::size_t n = token == "g" ? 1 : token == "rg" ? 3 : 4;
      out.Colour.clear();
      for (std::size_t i = operands.size() - n; i < operands.size(); ++i)
        out.Colour += Num(std::atof(operands[i].c_str())) + " ";
      out.Colour += token + "\n";
    }
    if (token == "Tf" || token == "g" || token == "rg" || token == "k" || token == "G" ||
        token == "RG" || token == "K") {
      operands.clear();
    } else {
      operands.push_back(token);
    }
  }
  if (!std::isfinite(out.Size) || out.Size < 0 || out.Size > 1000) out.Size = 0;
  return out;
}

namespace {

const TPDFCharsetNames& WinAnsiNames() {
  static const TPDFCharsetNames names = FillBaseEncoding(kWinAnsiEncoding);
  return names;
}

// Widths of a standard font's glyphs under WinAnsi (the symbol fonts under their own codes).
void StandardWidths(int index, std::array<double, 256>& widths) {
  if (index == kSymbol || index == kZapfDingbats) {
    const std::array<std::string, 256> names = StandardFontBuiltInEncoding(index);
    StandardFontWidths(index, names, widths);
  } else {
    StandardFontWidths(index, WinAnsiNames(), widths);
  }
}

}  // namespace

std::string TFieldFont::Codes(const std::u32string& text) const {
  std::string out;
  out.reserve(text.size());
  const bool symbolic = Resource == std::string("/") + kDingbatsFont;
  for (char32_t u : text) {
    if (u == '\t') u = ' ';
    if (symbolic || (u >= 32 && u < 127)) {
      out += static_cast<char>(u & 0xFF);
      continue;
    }
    char code = '?';
    for (int c = 128; c < 256; ++c) {
      if (WinAnsiNames()[c] != ".notdef" && GlyphNameToUnicode(WinAnsiNames()[c]) == u) {
        code = static_cast<char>(c);
        break;
      }
    }
    out += code;
  }
  return out;
}

double TFieldFont::Width(const std::string& codes, double size) const {
  double w = 0;
  for (char c : codes) w += Widths[static_cast<std::uint8_t>(c)];
  return w * size / 1000;
}

TFieldFont DingbatsFont() {
  TFieldFont font;
  font.Resource = std::string("/") + kDingbatsFont;
  StandardWidths(kZapfDingbats, font.Widths);
  return font;
}

TFieldFont FieldFont(TBuilder& b, TPDFDictionary* acroForm, const std::string& name) {
  TFieldFont font;
  auto* dr = acroForm ? As<TPDFDictionary>(b.Get(*acroForm, "DR")) : nullptr;
  auto* fonts = dr ? As<TPDFDictionary>(b.Get(*dr, "Font")) : nullptr;
  TPDFObject* entry = fonts && name.size() > 1 && name[0] == '/' ? fonts->GetValue(name.substr(1), false) : nullptr;
  auto* dict = As<TPDFDictionary>(b.Resolve(entry));
  if (!dict) {
    font.Resource = std::string("/") + kFallbackFont;
    StandardWidths(kHelvetica, font.Widths);
    return font;
  }
  font.Resource = name;
  TBytes value;
  entry->WriteText(value);
  b.Fonts += name + " " + value + " ";
  auto* base = As<TPDFName>(b.Get(*dict, "BaseFont"));
  const int standard = base ? StandardFontIndex(base->Value) : kStandardNone;
  StandardWidths(standard != kStandardNone ? standard : kHelvetica, font.Widths);
  const TStandardFontMetrics& metrics = StandardFontMetrics(standard);
  font.Ascent = metrics.Ascent;
  font.Descent = metrics.Descent;
  // A simple font's own widths win over the standard ones.
  std::vector<double> widths;
  const double first = b.Number(b.Get(*dict, "FirstChar"), -1);
  if (first >= 0 && first < 256 && b.Numbers(b.Get(*dict, "Widths"), widths, 256)) {
    for (std::size_t i = 0; i < widths.size() && first + i < 256; ++i)
      font.Widths[static_cast<std::size_t>(first) + i] = std::clamp(widths[i], 0.0, 10000.0);
  }
  if (auto* descriptor = As<TPDFDictionary>(b.Get(*dict, "FontDescriptor"))) {
    font.Ascent = b.Number(b.Get(*descriptor, "Ascent"), font.Ascent);
    font.Descent = b.Number(b.Get(*descriptor, "Descent"), font.Descent);
  }
  return font;
}

}  // namespace kestrel::appearance
