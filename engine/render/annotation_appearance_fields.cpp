// Made appearances of form fields (widget annotations): text fields (one line, multiline,
// comb), combo and list boxes, check boxes, radio buttons and push buttons, each on the
// background and border their /MK and /BS ask for; and the text of FreeText annotations.
#include "engine/render/annotation_appearance_fields.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kestrel::appearance {

namespace {

// Field flags (Ff).
constexpr int kFieldMultiline = 1 << 12;
constexpr int kFieldPassword = 1 << 13;
constexpr int kFieldRadio = 1 << 15;
constexpr int kFieldPushButton = 1 << 16;
constexpr int kFieldCombo = 1 << 17;
constexpr int kFieldComb = 1 << 24;
// Options of a list box drawn at most.
constexpr int kMaxOptions = 1000;

int FieldFlags(TBuilder& b) { return ClampedInt(b.Number(b.Inherited("Ff"), 0), 0, 1 << 30); }

TDefaultAppearance FieldDA(TBuilder& b, TPDFDictionary* acroForm, const char* fallback) {
  auto* da = As<TPDFString>(b.Inherited("DA"));
  if (!da && acroForm) da = As<TPDFString>(b.Get(*acroForm, "DA"));
  return ParseDA(da ? TByteView(da->Value) : TByteView(fallback));
}

int Quadding(TBuilder& b, TPDFDictionary* acroForm) {
  TPDFObject* q = b.Inherited("Q");
  if (!q && acroForm) q = b.Get(*acroForm, "Q");
  return ClampedInt(b.Number(q, 0), 0, 2);
}

// The text style of a field: its /DA with the font resolved.
struct TTextStyle {
  TDefaultAppearance DA;
  TFieldFont Font;
};

TTextStyle TextStyle(TBuilder& b, TPDFDictionary* acroForm, const char* fallbackDA) {
  TTextStyle style{FieldDA(b, acroForm, fallbackDA), {}};
  style.Font = FieldFont(b, acroForm, style.DA.Font);
  return style;
}

// Lines of a text: split at line breaks and, when `wrap`, at spaces to fit `width`.
std::vector<std::string> TextLines(const TFieldFont& font, const std::u32string& text, double size,
                                   double width, bool wrap) {
  std::vector<std::string> lines(1);
  const std::string codes = font.Codes(text);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t u = text[i];
    if (u == '\r' || u == '\n') {
      if (u == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (!wrap) break;
      lines.emplace_back();
      continue;
    }
    lines.back() += codes[i];
    if (wrap && size > 0 && font.Width(lines.back(), size) > width) {
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

std::string ShowAt(double x, double y, const std::string& codes) {
  return "1 0 0 1 " + Num(x) + " " + Num(y) + " Tm " + LiteralString(codes) + " Tj\n";
}

// Room between the border and the text: at the sides, and above multiline text.
struct TTextInsets {
  double Side = 2;
  double Top = 3;
};

// Text set inside the box less its border and insets, clipped to the box less its border.
// Without a size in /DA a single line takes the inner height, shrunk to fit the width.
void SetText(TBuilder& b, const TTextStyle& style, const TBox& box, double bw,
             const std::u32string& text, bool multiline, int quadding, TTextInsets insets = {}) {
  const double pad = bw + insets.Side;
  const double width = box.Width() - 2 * pad;
  if (width <= 0 || box.Height() <= 2 * bw || text.empty()) return;
  const TFieldFont& font = style.Font;
  double size = style.DA.Size;
  if (size <= 0) size = multiline ? 12 : box.Height() - 2 * bw;
  // Lines wrap at the border, not at the padding.
  std::vector<std::string> lines = TextLines(font, text, size, box.Width() - 2 * bw, multiline);
  // Auto-sized multiline text takes the largest whole size (12 at most) whose lines fit.
  while (multiline && style.DA.Size <= 0 && size > 4 && lines.size() * size > box.Height() - 2 * bw - insets.Top) {
    size -= 1;
    lines = TextLines(font, text, size, box.Width() - 2 * bw, multiline);
  }
  if (!multiline && style.DA.Size <= 0) {
    const double w = font.Width(lines[0], size);
    if (w > width) size = std::max(1.0, size * width / w);
  }
  std::string& c = b.Content;
  c += "q " + RectPath(box.X0 + bw, box.Y0 + bw, box.Width() - 2 * bw, box.Height() - 2 * bw) +
       "W n BT " + style.DA.Colour + style.Font.Resource + " " + Num(size) + " Tf\n";
  // A single line is centred on the middle of the box; multiline text starts at the top.
  double y = multiline ? box.Y1 - insets.Top - size : box.Y0 + box.Height() / 2 - 0.4 * size;
  for (const std::string& line : lines) {
    const double w = font.Width(line, size);
    double x = box.X0 + pad;
    if (quadding == 1) x = box.X0 + (box.Width() - w) / 2;
    if (quadding == 2) x = box.X1 - pad - w;
    c += ShowAt(x, y, line);
    y -= size;
    if (y < box.Y0 - size) break;
  }
  c += "ET Q\n";
}

// A comb field: one character centred in each of MaxLen cells.
void SetComb(TBuilder& b, const TTextStyle& style, const TBox& box, double bw, const std::u32string& text,
             int cells) {
  const std::string codes = style.Font.Codes(text);
  const double cell = box.Width() / cells;
  double size = style.DA.Size;
  if (size <= 0) size = std::max(1.0, std::min(box.Height() - 2 * bw, cell));
  std::string& c = b.Content;
  c += "q BT " + style.DA.Colour + style.Font.Resource + " " + Num(size) + " Tf\n";
  const double y = box.Y0 + box.Height() / 2 - 0.4 * size;
  for (std::size_t i = 0; i < codes.size() && i < static_cast<std::size_t>(cells); ++i) {
    const std::string one(1, codes[i]);
    c += ShowAt(box.X0 + cell * i + (cell - style.Font.Width(one, size)) / 2, y, one);
  }
  c += "ET Q\n";
}

std::u32string StringValue(TPDFObject* v) {
  if (auto* s = As<TPDFString>(v)) return TextOf(s->Value);
  if (auto* n = As<TPDFName>(v)) return TextOf(n->Value);
  return {};
}

// The text an option of /Opt shows: the string itself, or the second of an [export text] pair.
std::u32string OptionText(TBuilder& b, TPDFObject* option) {
  if (auto* pair = As<TPDFArray>(option); pair && pair->Count() >= 2) return StringValue(b.Resolve(pair->Item(1)));
  return StringValue(option);
}

// A list box: the options from the top (from /TI), selected ones on a dark bar in white.
void ListBox(TBuilder& b, const TTextStyle& style, const TBox& box, double bw) {
  auto* options = As<TPDFArray>(b.Inherited("Opt"));
  if (!options) return;
  std::vector<std::u32string> selected;
  TPDFObject* v = b.Inherited("V");
  if (auto* many = As<TPDFArray>(v)) {
    for (int i = 0; i < many->Count() && i < kMaxOptions; ++i) selected.push_back(StringValue(b.Resolve(many->Item(i))));
  } else if (v) {
    selected.push_back(StringValue(v));
  }
  const double size = style.DA.Size > 0 ? style.DA.Size : 12;
  const double pad = bw + 2, row = 1.1 * size;
  std::string& c = b.Content;
  c += "q " + RectPath(box.X0 + bw, box.Y0 + bw, box.Width() - 2 * bw, box.Height() - 2 * bw) + "W n\n";
  // Rows of 1.1 times the font size from just below the top; selected ones on a dark bar.
  double top = box.Y1 - bw - 2;
  const int first = ClampedInt(b.Number(b.Inherited("TI"), 0), 0, kMaxOptions);
  for (int i = first; i < options->Count() && i < first + kMaxOptions && top > box.Y0; ++i) {
    TPDFObject* option = b.Resolve(options->Item(i));
    const std::u32string text = OptionText(b, option);
    const bool chosen = std::find(selected.begin(), selected.end(), text) != selected.end() ||
                        std::find(selected.begin(), selected.end(), StringValue(option)) != selected.end();
    if (chosen) c += "0 g " + RectPath(box.X0 + bw, top - row, box.Width() - 2 * bw, row) + "f\n";
    c += "BT " + (chosen ? std::string("1 g\n") : style.DA.Colour) + style.Font.Resource + " " + Num(size) +
         " Tf\n" + ShowAt(box.X0 + pad, top - row + 0.175 * size, style.Font.Codes(text)) + "ET\n";
    top -= row;
  }
  c += "Q\n";
}

// Background and border from /MK and /BS (a border only when /BS or /Border is there); a
// round one for radio buttons.
double Frame(TBuilder& b, const TBox& box, bool round) {
  auto* mk = As<TPDFDictionary>(b.Get("MK"));
  std::string dash;
  const double bw = b.BorderWidth(dash, 0);
  if (!mk) return bw;
  std::string& c = b.Content;
  const std::string bg = b.Colour(b.Get(*mk, "BG"), false);
  const std::string bc = b.Colour(b.Get(*mk, "BC"), true);
  if (!bg.empty()) c += bg + RectPath(box.X0, box.Y0, box.Width(), box.Height()) + "f\n";
  if (bc.empty() || bw <= 0) return bw;
  auto* bs = As<TPDFDictionary>(b.Get("BS"));
  auto* style = bs ? As<TPDFName>(b.Get(*bs, "S")) : nullptr;
  std::vector<double> colour;
  if (!round && style && (style->Value == "B" || style->Value == "I") && b.Numbers(b.Get(*mk, "BC"), colour, 4) &&
      colour.size() != 2) {
    // Beveled and inset borders: the upper and left sides in the border colour halfway to
    // white, the lower and right ones halfway to black (the other way round when inset).
    auto shade = [&](bool light) {
      std::string s;
      for (double v : colour) s += Num(colour.size() == 4 ? (light ? v / 2 : (1 + v) / 2) : (light ? (1 + v) / 2 : v / 2)) + " ";
      return s + (colour.size() == 1 ? "g\n" : colour.size() == 3 ? "rg\n" : "k\n");
    };
    const bool beveled = style->Value == "B";
    auto pt = [](double x, double y) { return Num(x) + " " + Num(y) + " "; };
    c += shade(beveled) + pt(box.X0, box.Y0) + "m " + pt(box.X0, box.Y1) + "l " + pt(box.X1, box.Y1) + "l " +
         pt(box.X1 - bw, box.Y1 - bw) + "l " + pt(box.X0 + bw, box.Y1 - bw) + "l " + pt(box.X0 + bw, box.Y0 + bw) +
         "l h f\n";
    c += shade(!beveled) + pt(box.X1, box.Y1) + "m " + pt(box.X1, box.Y0) + "l " + pt(box.X0, box.Y0) + "l " +
         pt(box.X0 + bw, box.Y0 + bw) + "l " + pt(box.X1 - bw, box.Y0 + bw) + "l " + pt(box.X1 - bw, box.Y1 - bw) +
         "l h f\n";
  } else if (round) {
    const double r = std::min(box.Width(), box.Height()) / 2 - bw / 2;
    const double cx = (box.X0 + box.X1) / 2, cy = (box.Y0 + box.Y1) / 2;
    c += bc + Num(bw) + " w " + dash + Ellipse(cx - r, cy - r, cx + r, cy + r) + "S [] 0 d\n";
  } else {
    c += bc + Num(bw) + " w " + dash +
         RectPath(box.X0 + bw / 2, box.Y0 + bw / 2, box.Width() - bw, box.Height() - bw) + "S [] 0 d\n";
  }
  return bw;
}

// A check box's mark (ZapfDingbats' check, or /MK /CA) or a radio button's dot.
void Mark(TBuilder& b, TPDFDictionary* acroForm, const TBox& box, double bw, bool radio) {
  auto* as = As<TPDFName>(b.Get("AS"));
  if (!as || as->Value == "Off") return;
  if (radio) {
    // A radio button is on when its field's value names the state it shows.
    auto* v = As<TPDFName>(b.Inherited("V"));
    if (!v || v->Value != as->Value) return;
  }
  auto* mk = As<TPDFDictionary>(b.Get("MK"));
  auto* ca = mk ? As<TPDFString>(b.Get(*mk, "CA")) : nullptr;
  const TDefaultAppearance da = FieldDA(b, acroForm, "0 g");
  std::string& c = b.Content;
  if (radio && !ca) {
    const std::string bc = mk ? b.Colour(b.Get(*mk, "BC"), false) : std::string();
    const double r = std::min(box.Width(), box.Height()) / 5;
    const double cx = (box.X0 + box.X1) / 2, cy = (box.Y0 + box.Y1) / 2;
    c += "q " + (bc.empty() ? da.Colour : bc) + Ellipse(cx - r, cy - r, cx + r, cy + r) + "f Q\n";
    return;
  }
  // Without a caption the light check mark (ZapfDingbats "3").
  const std::string mark = ca && !ca->Value.empty() ? ca->Value.substr(0, 1) : std::string("3");
  const TFieldFont dingbats = DingbatsFont();
  // Without a size in /DA the mark takes the inner height, or less when the box is narrow.
  double size = da.Size;
  if (size <= 0) size = std::max(1.0, std::min(box.Height() - 2 * bw, (box.Width() - 2 * bw - 4) / 0.83));
  const double w = dingbats.Width(mark, size);
  c += "q BT " + da.Colour + dingbats.Resource + " " + Num(size) + " Tf\n" +
       ShowAt(box.X0 + (box.Width() - w) / 2, box.Y0 + box.Height() / 2 - 0.4 * size, mark) + "ET Q\n";
}

// A push button's caption (/MK /CA) centred.
void Caption(TBuilder& b, TPDFDictionary* acroForm, const TBox& box, double bw) {
  auto* mk = As<TPDFDictionary>(b.Get("MK"));
  auto* ca = mk ? As<TPDFString>(b.Get(*mk, "CA")) : nullptr;
  if (!ca) return;
  SetText(b, TextStyle(b, acroForm, "/Helv 0 Tf 0 g"), box, bw, TextOf(ca->Value), false, 1);
}

// The text a combo box shows for its value: the display text of an [export text] option whose
// export value it is, else the value itself.
std::u32string ComboText(TBuilder& b, const std::u32string& value) {
  auto* options = As<TPDFArray>(b.Inherited("Opt"));
  for (int i = 0; options && i < options->Count() && i < kMaxOptions; ++i) {
    auto* pair = As<TPDFArray>(b.Resolve(options->Item(i)));
    if (pair && pair->Count() >= 2 && StringValue(b.Resolve(pair->Item(0))) == value) return OptionText(b, pair);
  }
  return value;
}

void WidgetContent(TBuilder& b, TPDFDictionary* acroForm, const TBox& box, const std::string& ft, int ff) {
  const bool radio = ft == "Btn" && (ff & kFieldRadio) && !(ff & kFieldPushButton);
  const double bw = Frame(b, box, radio);
  if (ft == "Btn") {
    if (ff & kFieldPushButton) {
      Caption(b, acroForm, box, bw);
    } else {
      Mark(b, acroForm, box, bw, radio);
    }
    return;
  }
  const TTextStyle style = TextStyle(b, acroForm, "/Helv 0 Tf 0 g");
  if (ft == "Ch" && !(ff & kFieldCombo)) {
    ListBox(b, style, box, bw);
    return;
  }
  std::u32string value = StringValue(b.Inherited("V"));
  if (auto* many = As<TPDFArray>(b.Inherited("V")); many && many->Count() > 0)
    value = StringValue(b.Resolve(many->Item(0)));
  if (ft == "Ch") value = ComboText(b, value);
  if (ft == "Tx" && (ff & kFieldPassword)) value.assign(value.size(), U'*');
  const int maxLen = ClampedInt(b.Number(b.Inherited("MaxLen"), 0), 0, 1 << 20);
  if (ft == "Tx" && (ff & kFieldComb) && !(ff & kFieldMultiline) && maxLen > 0 && maxLen <= 1000) {
    SetComb(b, style, box, bw, value, maxLen);
    return;
  }
  SetText(b, style, box, bw, value, ft == "Tx" && (ff & kFieldMultiline), Quadding(b, acroForm));
}

}  // namespace

bool Widget(TBuilder& b, TPDFDictionary* acroForm, const TBox& box) {
  auto* ftName = As<TPDFName>(b.Inherited("FT"));
  const std::string ft = ftName ? ftName->Value : std::string();
  if (ft != "Tx" && ft != "Ch" && ft != "Btn") return false;
  // /MK /R turns the field's content by a multiple of 90 degrees: it is made upright in a box
  // of the turned size and put into place by a matrix.
  auto* mk = As<TPDFDictionary>(b.Get("MK"));
  const int turn = mk ? ((ClampedInt(b.Number(b.Get(*mk, "R"), 0), -3600, 3600) % 360) + 360) % 360 : 0;
  if (turn != 90 && turn != 180 && turn != 270) {
    WidgetContent(b, acroForm, box, ft, FieldFlags(b));
    return true;
  }
  const bool sideways = turn != 180;
  const TBox upright{0, 0, sideways ? box.Height() : box.Width(), sideways ? box.Width() : box.Height()};
  const std::string matrix = turn == 90    ? "0 1 -1 0 " + Num(box.X1) + " " + Num(box.Y0)
                             : turn == 180 ? "-1 0 0 -1 " + Num(box.X1) + " " + Num(box.Y1)
                                           : "0 -1 1 0 " + Num(box.X0) + " " + Num(box.Y1);
  b.Content += "q " + matrix + " cm\n";
  WidgetContent(b, acroForm, upright, ft, FieldFlags(b));
  b.Content += "Q\n";
  return true;
}


bool FreeText(TBuilder& b, TPDFDictionary* acroForm, const TBox& box) {
  std::string dash;
  const double bw = b.BorderWidth(dash);
  const TTextStyle style = TextStyle(b, acroForm, "/Helv 12 Tf 0 g");
  std::string& c = b.Content;
  const std::string fill = b.Colour(b.Get("C"), false);
  if (!fill.empty()) c += fill + RectPath(box.X0, box.Y0, box.Width(), box.Height()) + "f\n";
  if (bw > 0) {
    // The border takes the text's colour.
    std::string pen = style.DA.Colour;
    const std::size_t op = pen.find_last_not_of(" \n");
    if (op != std::string::npos) pen[op] = static_cast<char>(std::toupper(pen[op]));
    if (op != std::string::npos && op > 0 && pen[op - 1] == 'r') pen[op - 1] = 'R';
    c += pen + Num(bw) + " w " + dash +
         RectPath(box.X0 + bw / 2, box.Y0 + bw / 2, box.Width() - bw, box.Height() - bw) + "S [] 0 d\n";
  }
  // The text keeps twice the border width from the edges.
  if (auto* text = As<TPDFString>(b.Get("Contents"))) {
    const TBox inner{box.X0 + bw, box.Y0 + bw, box.X1 - bw, box.Y1 - bw};
    SetText(b, style, inner, 0, TextOf(text->Value), true, Quadding(b, nullptr), {bw, bw});
  }
  return true;
}

}  // namespace kestrel::appearance
