#include "engine/render/annotation_appearance.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/fonts/glyph_names.h"
#include "engine/fonts/standard/standard_fonts.h"
#include "engine/graphics/format_decimal.h"
#include "engine/render/renderer.h"
#include "engine/syntax/content_tokenizer.h"
#include "engine/syntax/objects.h"

namespace kestrel {

namespace {

// Field flags (Ff) and the standard fonts the generated content falls back on.
constexpr int kFieldMultiline = 1 << 12;
constexpr int kFieldRadio = 1 << 15;
constexpr int kFieldPushButton = 1 << 16;
constexpr const char* kFallbackFont = "KHelv";
constexpr const char* kDingbatsFont = "KZaDb";
// Points of text a field holds at most (longer values are cut).
constexpr std::size_t kMaxFieldText = 4096;
// Vertices, quads and ink points drawn at most per annotation.
constexpr int kMaxPoints = 20000;

std::string Num(double v) { return FormatDecimal(3, std::isfinite(v) ? v : 0.0); }

class TBuilder {
 public:
  TBuilder(TPDFRenderer& r, TPDFDictionary& annot) : r_(r), annot_(annot) {}

  TPDFObject* Get(TPDFDictionary& d, TByteView key) { return r_.ResolveObject(d.GetValue(key, false)); }
  TPDFObject* Get(TByteView key) { return Get(annot_, key); }
  // The entry in the field or its Parent chain (fields keep /FT, /V, /DA, /Ff, /Q there).
  TPDFObject* Inherited(TByteView key) { return r_.LookupInherited(&annot_, key); }

  bool Numbers(TPDFObject* obj, std::vector<double>& out, int most = kMaxPoints) {
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
  double Number(TPDFObject* obj, double fallback) {
    auto* n = As<TPDFNumeric>(obj);
    return n && std::isfinite(n->Value) ? n->Value : fallback;
  }

  // A colour array as a fill ("rg") or stroke ("RG") operator; empty for none.
  std::string Colour(TPDFObject* obj, bool stroke) {
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

  // Border width and dash from /BS, else /Border (1 when neither says).
  double BorderWidth(std::string& dash) {
    if (auto* bs = As<TPDFDictionary>(Get("BS"))) {
      auto* style = As<TPDFName>(Get(*bs, "S"));
      if (style && style->Value == "D") {
        std::vector<double> d;
        if (!Numbers(Get(*bs, "D"), d, 16) || d.empty()) d = {3};
        dash = "[";
        for (double v : d) dash += Num(std::max(v, 0.0)) + " ";
        dash += "] 0 d\n";
      }
      return std::max(0.0, Number(Get(*bs, "W"), 1));
    }
    std::vector<double> border;
    if (Numbers(Get("Border"), border, 3) && border.size() == 3) return std::max(0.0, border[2]);
    return 1;
  }

  std::string& Content() { return content_; }
  TPDFRenderer& Renderer() { return r_; }

 private:
  TPDFRenderer& r_;
  TPDFDictionary& annot_;
  std::string content_;
};

// Four cubic curves through the ellipse inscribed in the box.
std::string Ellipse(double x0, double y0, double x1, double y1) {
  const double k = 0.5523;
  const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, rx = (x1 - x0) / 2, ry = (y1 - y0) / 2;
  std::string s = Num(cx + rx) + " " + Num(cy) + " m\n";
  s += Num(cx + rx) + " " + Num(cy + k * ry) + " " + Num(cx + k * rx) + " " + Num(cy + ry) + " " +
       Num(cx) + " " + Num(cy + ry) + " c\n";
  s += Num(cx - k * rx) + " " + Num(cy + ry) + " " + Num(cx - rx) + " " + Num(cy + k * ry) + " " +
       Num(cx - rx) + " " + Num(cy) + " c\n";
  s += Num(cx - rx) + " " + Num(cy - k * ry) + " " + Num(cx - k * rx) + " " + Num(cy - ry) + " " +
       Num(cx) + " " + Num(cy - ry) + " c\n";
  s += Num(cx + k * rx) + " " + Num(cy - ry) + " " + Num(cx + rx) + " " + Num(cy - k * ry) + " " +
       Num(cx + rx) + " " + Num(cy) + " c h\n";
  return s;
}

std::string Polyline(const std::vector<double>& v, bool close) {
  std::string s;
  for (std::size_t i = 0; i + 1 < v.size(); i += 2)
    s += Num(v[i]) + " " + Num(v[i + 1]) + (i == 0 ? " m\n" : " l\n");
  if (close && !s.empty()) s += "h\n";
  return s;
}

// Unicode of a PDF text string (UTF-16BE with its mark, else PDFDocEncoding read as Latin-1).
std::u32string TextOf(TByteView bytes) {
  std::u32string out;
  if (bytes.size() >= 2 && std::uint8_t(bytes[0]) == 0xFE && std::uint8_t(bytes[1]) == 0xFF) {
    for (std::size_t i = 2; i + 1 < bytes.size() && out.size() < kMaxFieldText; i += 2) {
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
  for (std::size_t i = 0; i < bytes.size() && out.size() < kMaxFieldText; ++i)
    out.push_back(std::uint8_t(bytes[i]));
  return out;
}

// WinAnsi codes of Unicode text ("?" for what the encoding lacks), and Helvetica's widths.
struct TWinAnsi {
  TPDFCharsetNames names = FillBaseEncoding(kWinAnsiEncoding);
  std::uint8_t Code(char32_t u) const {
    if (u == '\t') u = ' ';
    if (u >= 32 && u < 127) return static_cast<std::uint8_t>(u);
    for (int c = 128; c < 256; ++c)
      if (names[c] != ".notdef" && GlyphNameToUnicode(names[c]) == u) return static_cast<std::uint8_t>(c);
    return '?';
  }
  double Width(std::uint8_t code) const {
    const int w = StandardGlyphWidth(kHelvetica, names[code]);
    return w > 0 ? w : 556;
  }
};

const TWinAnsi& WinAnsi() {
  static const TWinAnsi table;
  return table;
}

std::string LiteralString(const std::string& bytes) {
  std::string s = "(";
  for (char c : bytes) {
    if (c == '(' || c == ')' || c == '\\') s += '\\';
    if (c == '\r' || c == '\n') continue;
    s += c;
  }
  return s + ")";
}

double TextWidth(const std::string& codes, double size) {
  double w = 0;
  for (char c : codes) w += WinAnsi().Width(static_cast<std::uint8_t>(c));
  return w * size / 1000;
}

// /DA read as its font name, size and colour operator ("/Helv 0 Tf 0 g").
struct TDefaultAppearance {
  std::string Font;
  double Size = 0;
  std::string Colour = "0 g\n";
};

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

void AddFontEntries(TBuilder& b, TPDFDictionary* acroForm, std::string& fonts) {
  fonts = std::string("/") + kFallbackFont +
          " << /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >> /" +
          kDingbatsFont + " << /Type /Font /Subtype /Type1 /BaseFont /ZapfDingbats >> ";
  auto* dr = acroForm ? As<TPDFDictionary>(b.Get(*acroForm, "DR")) : nullptr;
  auto* drFonts = dr ? As<TPDFDictionary>(b.Get(*dr, "Font")) : nullptr;
  for (int i = 0; drFonts && i < drFonts->Count() && i < 256; ++i) {
    const auto entry = drFonts->EntryAt(i);
    if (!entry.first || !As<TPDFIndRef>(entry.second)) continue;
    TBytes name;
    entry.first->WriteText(name);
    TBytes value;
    entry.second->WriteText(value);
    fonts += name + " " + value + " ";
  }
}

bool HasFont(TBuilder& b, TPDFDictionary* acroForm, const std::string& name) {
  if (name.size() < 2 || name[0] != '/') return false;
  auto* dr = acroForm ? As<TPDFDictionary>(b.Get(*acroForm, "DR")) : nullptr;
  auto* fonts = dr ? As<TPDFDictionary>(b.Get(*dr, "Font")) : nullptr;
  return fonts && As<TPDFIndRef>(fonts->GetValue(name.substr(1), false));
}

int FieldFlags(TBuilder& b) { return static_cast<int>(b.Number(b.Inherited("Ff"), 0)); }

std::string FieldType(TBuilder& b) {
  auto* ft = As<TPDFName>(b.Inherited("FT"));
  return ft ? ft->Value : std::string();
}

// Background and border of a widget from /MK.
void WidgetFrame(TBuilder& b, double x0, double y0, double x1, double y1, double bw) {
  auto* mk = As<TPDFDictionary>(b.Get("MK"));
  if (!mk) return;
  std::string& c = b.Content();
  const std::string bg = b.Colour(b.Get(*mk, "BG"), false);
  if (!bg.empty()) c += bg + Num(x0) + " " + Num(y0) + " " + Num(x1 - x0) + " " + Num(y1 - y0) + " re f\n";
  const std::string bc = b.Colour(b.Get(*mk, "BC"), true);
  if (!bc.empty() && bw > 0) {
    c += bc + Num(bw) + " w " + Num(x0 + bw / 2) + " " + Num(y0 + bw / 2) + " " + Num(x1 - x0 - bw) +
         " " + Num(y1 - y0 - bw) + " re S\n";
  }
}

// Lines of a text value: split at line breaks, and (multiline) wrapped at spaces to `width`.
std::vector<std::string> TextLines(const std::u32string& text, double size, double width,
                                   bool wrap) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t u = text[i];
    if (u == '\r' || u == '\n') {
      if (u == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (!wrap) break;
      lines.emplace_back();
      continue;
    }
    lines.back() += static_cast<char>(WinAnsi().Code(u));
    if (wrap && size > 0 && TextWidth(lines.back(), size) > width) {
      std::string& line = lines.back();
      const std::size_t space = line.rfind(' ');
      std::string rest;
      if (space != std::string::npos && space > 0) {
        rest = line.substr(space + 1);
        line.resize(space);
      } else if (line.size() > 1) {
        rest = line.substr(line.size() - 1);
        line.pop_back();
      }
      lines.push_back(rest);
    }
  }
  return lines;
}

void TextField(TBuilder& b, TPDFDictionary* acroForm, double x0, double y0, double x1, double y1,
               double bw, const std::u32string& value, bool multiline) {
  auto* da = As<TPDFString>(b.Inherited("DA"));
  if (!da && acroForm) da = As<TPDFString>(b.Get(*acroForm, "DA"));
  TDefaultAppearance style = ParseDA(da ? TByteView(da->Value) : TByteView("/Helv 0 Tf 0 g"));
  if (!HasFont(b, acroForm, style.Font)) style.Font = std::string("/") + kFallbackFont;
  const double pad = std::max(bw, 1.0) + 1;
  const double width = x1 - x0 - 2 * pad, height = y1 - y0 - 2 * pad;
  if (width <= 0 || height <= 0 || value.empty()) return;
  double size = style.Size;
  if (size <= 0) size = multiline ? 12 : std::clamp(height * 0.75, 4.0, 12.0);
  std::vector<std::string> lines = TextLines(value, size, width, multiline);
  if (!multiline && style.Size <= 0) {
    // Auto-sized single lines shrink to fit the width.
    const double w = TextWidth(lines[0], size);
    if (w > width) size = std::max(4.0, size * width / w);
  }
  int q = static_cast<int>(b.Number(b.Inherited("Q"), 0));
  if (acroForm && !b.Inherited("Q")) q = static_cast<int>(b.Number(b.Get(*acroForm, "Q"), 0));
  std::string& c = b.Content();
  c += "q " + Num(x0 + 1) + " " + Num(y0 + 1) + " " + Num(x1 - x0 - 2) + " " + Num(y1 - y0 - 2) +
       " re W n BT " + style.Colour + style.Font + " " + Num(size) + " Tf\n";
  const double leading = size * 1.15;
  // Single lines are centred vertically; multiline text starts at the top.
  double y = multiline ? y1 - pad - size : y0 + (y1 - y0 - size * 0.72) / 2;
  for (const std::string& line : lines) {
    const double w = TextWidth(line, size);
    double x = x0 + pad;
    if (q == 1) x = x0 + (x1 - x0 - w) / 2;
    if (q == 2) x = x1 - pad - w;
    c += "1 0 0 1 " + Num(x) + " " + Num(y) + " Tm " + LiteralString(line) + " Tj\n";
    y -= leading;
    if (y < y0 - size) break;
  }
  c += "ET Q\n";
}

std::u32string FieldValue(TBuilder& b) {
  TPDFObject* v = b.Inherited("V");
  if (auto* s = As<TPDFString>(v)) return TextOf(s->Value);
  if (auto* array = As<TPDFArray>(v)) {
    // A list box with several selected values shows the first.
    if (auto* s = As<TPDFString>(b.Renderer().ResolveObject(array->Item(0)))) return TextOf(s->Value);
  }
  if (auto* n = As<TPDFName>(v)) return TextOf(n->Value);
  return {};
}

bool Widget(TBuilder& b, TPDFDictionary* acroForm, double x0, double y0, double x1, double y1) {
  const std::string ft = FieldType(b);
  const int ff = FieldFlags(b);
  std::string dash;
  const double bw = b.BorderWidth(dash);
  auto* mk = As<TPDFDictionary>(b.Get("MK"));
  const bool framed = mk && (b.Get(*mk, "BC") || b.Get(*mk, "BG"));
  if (ft == "Tx" || ft == "Ch") {
    WidgetFrame(b, x0, y0, x1, y1, framed ? bw : 0);
    TextField(b, acroForm, x0, y0, x1, y1, framed ? bw : 0, FieldValue(b),
              ft == "Tx" && (ff & kFieldMultiline) != 0);
    return true;
  }
  if (ft != "Btn" || (ff & kFieldPushButton)) return false;
  WidgetFrame(b, x0, y0, x1, y1, framed ? bw : 0);
  auto* as = As<TPDFName>(b.Get("AS"));
  if (!as || as->Value == "Off") return true;
  // The check (ZapfDingbats' "4") or the radio dot ("l"), or the /MK /CA character.
  std::string mark = (ff & kFieldRadio) ? "l" : "4";
  if (auto* ca = mk ? As<TPDFString>(b.Get(*mk, "CA")) : nullptr; ca && !ca->Value.empty())
    mark = ca->Value.substr(0, 1);
  auto* da = As<TPDFString>(b.Inherited("DA"));
  const TDefaultAppearance style = ParseDA(da ? TByteView(da->Value) : TByteView("0 g"));
  const double h = y1 - y0, w = x1 - x0;
  double size = style.Size > 0 ? style.Size : std::min(w, h) * 0.8;
  // Dingbat widths: the check is 0.846 em wide, the dot 0.791.
  const double glyphWidth = (mark == "l" ? 0.791 : 0.846) * size;
  std::string& c = b.Content();
  c += "q BT " + style.Colour + "/" + kDingbatsFont + " " + Num(size) + " Tf 1 0 0 1 " +
       Num(x0 + (w - glyphWidth) / 2) + " " + Num(y0 + (h - size * 0.7) / 2) + " Tm " +
       LiteralString(mark) + " Tj ET Q\n";
  return true;
}

// A note icon in the rectangle's upper left corner.
void NoteIcon(TBuilder& b, double x0, double y1) {
  std::string colour = b.Colour(b.Get("C"), false);
  if (colour.empty()) colour = "1 1 0 rg\n";
  const double s = 20, left = x0, top = y1;
  std::string& c = b.Content();
  c += "q " + colour + "0 G 1 w " + Num(left + 0.5) + " " + Num(top - s + 0.5) + " " + Num(s - 1) +
       " " + Num(s - 1) + " re B\n";
  for (int i = 1; i <= 3; ++i) {
    const double y = top - s + s * i / 4.5 + 2;
    c += Num(left + 4) + " " + Num(y) + " m " + Num(left + s - 4) + " " + Num(y) + " l S\n";
  }
  c += "Q\n";
}

bool Markup(TBuilder& b, const std::string& subtype, double x0, double y0, double x1, double y1,
            std::string& states) {
  std::string& c = b.Content();
  std::string dash;
  const double bw = b.BorderWidth(dash);
  const std::string stroke = b.Colour(b.Get("C"), true);
  const std::string fill = b.Colour(b.Get("IC"), false);
  std::vector<double> v;
  const std::string pen = Num(bw) + " w " + dash;
  if (subtype == "Square" || subtype == "Circle") {
    const double i = bw / 2;
    if (x1 - x0 <= bw || y1 - y0 <= bw) return false;
    const std::string shape =
        subtype == "Square"
            ? Num(x0 + i) + " " + Num(y0 + i) + " " + Num(x1 - x0 - bw) + " " + Num(y1 - y0 - bw) + " re\n"
            : Ellipse(x0 + i, y0 + i, x1 - i, y1 - i);
    const bool stroked = !stroke.empty() && bw > 0;
    if (fill.empty() && !stroked) return false;
    c += fill + (stroked ? stroke + pen : "") + shape + (fill.empty() ? "S\n" : stroked ? "B\n" : "f\n");
    return true;
  }
  if (subtype == "Line" || subtype == "Polygon" || subtype == "PolyLine") {
    if (!b.Numbers(b.Get(subtype == "Line" ? "L" : "Vertices"), v) || v.size() < 4) return false;
    if (subtype == "Line") v.resize(4);
    const bool closed = subtype == "Polygon";
    const bool stroked = !stroke.empty() && bw > 0;
    const bool filled = closed && !fill.empty();
    if (!stroked && !filled) return false;
    c += (filled ? fill : "") + (stroked ? stroke + pen : "") + Polyline(v, closed) +
         (filled ? (stroked ? "B\n" : "f\n") : "S\n");
    return true;
  }
  if (subtype == "Ink") {
    auto* list = As<TPDFArray>(b.Get("InkList"));
    if (!list || stroke.empty()) return false;
    c += stroke + pen + "1 J 1 j\n";
    for (int i = 0; i < list->Count() && i < kMaxPoints; ++i) {
      if (!b.Numbers(b.Renderer().ResolveObject(list->Item(i)), v) || v.size() < 2) continue;
      if (v.size() == 2) v.insert(v.end(), {v[0], v[1]});
      c += Polyline(v, false) + "S\n";
    }
    return true;
  }
  if (subtype == "Highlight" || subtype == "Underline" || subtype == "StrikeOut" ||
      subtype == "Squiggly") {
    if (!b.Numbers(b.Get("QuadPoints"), v) || v.size() < 8) {
      v = {x0, y1, x1, y1, x0, y0, x1, y0};
    }
    const std::string colour = subtype == "Highlight" ? b.Colour(b.Get("C"), false) : stroke;
    if (colour.empty()) return false;
    if (subtype == "Highlight") {
      // Highlights multiply with the page, so the text under them stays readable.
      states += "/KMul << /BM /Multiply >> ";
      c += "/KMul gs ";
    }
    c += colour;
    for (std::size_t q = 0; q + 8 <= v.size(); q += 8) {
      // Corners as written: upper left, upper right, lower left, lower right.
      const double* p = &v[q];
      const double ax = p[4], ay = p[5], bx = p[6], by = p[7];  // bottom edge
      const double ux = p[0] - p[4], uy = p[1] - p[5];           // bottom to top
      const double h = std::hypot(ux, uy);
      if (h <= 0) continue;
      auto at = [&](double t, double x, double y) {
        return Num(x + ux * t) + " " + Num(y + uy * t);
      };
      if (subtype == "Highlight") {
        c += Num(p[4]) + " " + Num(p[5]) + " m " + Num(p[6]) + " " + Num(p[7]) + " l " + Num(p[2]) +
             " " + Num(p[3]) + " l " + Num(p[0]) + " " + Num(p[1]) + " l h f\n";
      } else if (subtype == "Squiggly") {
        const double len = std::hypot(bx - ax, by - ay);
        const int steps = std::clamp(static_cast<int>(len / (h / 6)), 1, 2000);
        c += Num(h / 30) + " w ";
        for (int s = 0; s <= steps; ++s) {
          const double t = double(s) / steps;
          c += at(s % 2 ? 0.12 : 0.02, ax + (bx - ax) * t, ay + (by - ay) * t) + (s ? " l " : " m ");
        }
        c += "S\n";
      } else {
        const double t = subtype == "Underline" ? 0.07 : 0.45;
        c += Num(h / 14) + " w " + at(t, ax, ay) + " m " + at(t, bx, by) + " l S\n";
      }
    }
    return true;
  }
  return false;
}

bool FreeText(TBuilder& b, TPDFDictionary* acroForm, double x0, double y0, double x1, double y1) {
  std::string dash;
  const double bw = b.BorderWidth(dash);
  std::string& c = b.Content();
  const std::string fill = b.Colour(b.Get("C"), false);
  if (!fill.empty()) c += fill + Num(x0) + " " + Num(y0) + " " + Num(x1 - x0) + " " + Num(y1 - y0) + " re f\n";
  if (bw > 0) {
    c += "0 G " + Num(bw) + " w " + dash + Num(x0 + bw / 2) + " " + Num(y0 + bw / 2) + " " +
         Num(x1 - x0 - bw) + " " + Num(y1 - y0 - bw) + " re S [] 0 d\n";
  }
  auto* text = As<TPDFString>(b.Get("Contents"));
  if (text) TextField(b, acroForm, x0, y0, x1, y1, bw, TextOf(text->Value), true);
  return true;
}

}  // namespace

bool NeedsFieldAppearances(TPDFRenderer& r, TPDFDictionary* acroForm) {
  auto* need = acroForm ? As<TPDFBoolean>(r.ResolveObject(acroForm->GetValue("NeedAppearances", false)))
                        : nullptr;
  return need && need->Value;
}

bool RegeneratesAppearance(TPDFRenderer& r, TPDFDictionary& annot, TPDFDictionary* acroForm) {
  auto* subtype = As<TPDFName>(r.ResolveObject(annot.GetValue("Subtype", false)));
  if (!subtype || subtype->Value != "Widget" || !NeedsFieldAppearances(r, acroForm)) return false;
  auto* ft = As<TPDFName>(r.LookupInherited(&annot, "FT"));
  return ft && (ft->Value == "Tx" || ft->Value == "Ch");
}

bool GenerateAppearance(TPDFRenderer& r, TPDFDictionary& annot, TPDFDictionary* acroForm,
                        TGeneratedAppearance& out) {
  TBuilder b(r, annot);
  auto* subtype = As<TPDFName>(b.Get("Subtype"));
  std::vector<double> rect;
  if (!subtype || !b.Numbers(b.Get("Rect"), rect, 4) || rect.size() != 4) return false;
  const double x0 = std::min(rect[0], rect[2]), x1 = std::max(rect[0], rect[2]);
  const double y0 = std::min(rect[1], rect[3]), y1 = std::max(rect[1], rect[3]);
  const std::string& kind = subtype->Value;
  std::string states;
  bool made = false;
  if (kind == "Widget") {
    made = Widget(b, acroForm, x0, y0, x1, y1);
  } else if (kind == "FreeText") {
    made = FreeText(b, acroForm, x0, y0, x1, y1);
  } else if (kind == "Text") {
    NoteIcon(b, x0, y1);
    made = true;
  } else {
    made = Markup(b, kind, x0, y0, x1, y1, states);
  }
  if (!made || b.Content().empty()) return false;
  // The annotation's opacity applies to all of it.
  const double opacity = std::clamp(b.Number(b.Get("CA"), 1), 0.0, 1.0);
  std::string prefix = "q ";
  if (opacity < 1) {
    states += "/KA << /CA " + Num(opacity) + " /ca " + Num(opacity) + " >> ";
    prefix += "/KA gs ";
  }
  std::string fonts;
  AddFontEntries(b, acroForm, fonts);
  out.Content = prefix + b.Content() + " Q\n";
  out.Resources = "<< /Font << " + fonts + ">> /ExtGState << " + states + ">> >>";
  return true;
}

}  // namespace kestrel
