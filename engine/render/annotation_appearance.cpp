#include "engine/render/annotation_appearance.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/render/annotation_appearance_fields.h"
#include "engine/render/annotation_appearance_icons.h"
#include "engine/render/annotation_appearance_kit.h"
#include "engine/render/renderer.h"
#include "engine/syntax/objects.h"

namespace kestrel {

namespace {

using namespace appearance;

// The shape a line ending style (/LE) puts at `tip`, the line coming from `from`.
std::string LineEnding(const std::string& style, double fromX, double fromY, double tipX, double tipY,
                       double bw, const std::string& fill) {
  const double len = std::hypot(tipX - fromX, tipY - fromY);
  if (len <= 0 || style == "None") return {};
  const double ux = (tipX - fromX) / len, uy = (tipY - fromY) / len;  // along the line
  const double s = std::max(3 * bw, 6.0);                             // size of the ending
  auto at = [&](double along, double across) {
    return Num(tipX + ux * along - uy * across) + " " + Num(tipY + uy * along + ux * across);
  };
  const std::string paint = fill.empty() ? "S\n" : fill + "B\n";
  if (style == "OpenArrow" || style == "ROpenArrow") {
    const double d = style == "OpenArrow" ? -s : s;
    return at(d, s / 2) + " m " + at(0, 0) + " l " + at(d, -s / 2) + " l S\n";
  }
  if (style == "ClosedArrow" || style == "RClosedArrow") {
    const double d = style == "ClosedArrow" ? -s : s;
    return at(d, s / 2) + " m " + at(0, 0) + " l " + at(d, -s / 2) + " l h " + paint;
  }
  if (style == "Square") return at(-s / 2, -s / 2) + " m " + at(s / 2, -s / 2) + " l " + at(s / 2, s / 2) + " l " + at(-s / 2, s / 2) + " l h " + paint;
  if (style == "Diamond") return at(-s / 2, 0) + " m " + at(0, -s / 2) + " l " + at(s / 2, 0) + " l " + at(0, s / 2) + " l h " + paint;
  if (style == "Circle") return Ellipse(tipX - s / 2, tipY - s / 2, tipX + s / 2, tipY + s / 2) + paint;
  if (style == "Butt") return at(0, s / 2) + " m " + at(0, -s / 2) + " l S\n";
  if (style == "Slash") return at(s / 4, s / 2) + " m " + at(-s / 4, -s / 2) + " l S\n";
  return {};
}

// The two /LE styles of a Line or PolyLine drawn at its ends.
std::string LineEndings(TBuilder& b, const std::vector<double>& v, double bw, const std::string& fill) {
  auto* le = As<TPDFArray>(b.Get("LE"));
  if (!le || le->Count() < 2 || v.size() < 4) return {};
  std::string out;
  for (int end = 0; end < 2; ++end) {
    auto* name = As<TPDFName>(b.Resolve(le->Item(end)));
    if (!name) continue;
    const std::size_t n = v.size();
    if (end == 0) {
      out += LineEnding(name->Value, v[2], v[3], v[0], v[1], bw, fill);
    } else {
      out += LineEnding(name->Value, v[n - 4], v[n - 3], v[n - 2], v[n - 1], bw, fill);
    }
  }
  return out;
}

// Highlight, Underline, StrikeOut and Squiggly over each quadrilateral of /QuadPoints.
bool TextMarkup(TBuilder& b, const std::string& subtype, const TBox& box) {
  std::vector<double> v;
  if (!b.Numbers(b.Get("QuadPoints"), v) || v.size() < 8) v = {box.X0, box.Y1, box.X1, box.Y1, box.X0, box.Y0, box.X1, box.Y0};
  const bool highlight = subtype == "Highlight";
  const std::string colour = b.Colour(b.Get("C"), !highlight);
  if (colour.empty()) return false;
  std::string& c = b.Content;
  if (highlight) {
    // Highlights multiply with the page, so the text under them stays readable.
    b.States += "/KMul << /BM /Multiply >> ";
    c += "/KMul gs ";
  }
  c += colour;
  auto pt = [](double x, double y) { return Num(x) + " " + Num(y) + " "; };
  for (std::size_t q = 0; q + 8 <= v.size(); q += 8) {
    // Corners as written: upper left, upper right, lower left, lower right.
    const double* p = &v[q];
    const double ax = p[4], ay = p[5], bx = p[6], by = p[7];  // bottom edge
    const double ux = p[0] - p[4], uy = p[1] - p[5];           // bottom to top
    const double h = std::hypot(ux, uy);
    const double len = std::hypot(bx - ax, by - ay);
    if (h <= 0 || len <= 0) continue;
    auto at = [&](double t, double x, double y) { return Num(x + ux * t) + " " + Num(y + uy * t); };
    if (highlight) {
      // The ends bulge out by an eighth of the height.
      const double ox = (bx - ax) / len * h / 6, oy = (by - ay) / len * h / 6;
      c += pt(ax, ay) + "m " + pt(bx, by) + "l " + pt(bx + ox, by + oy) + pt(p[2] + ox, p[3] + oy) +
           pt(p[2], p[3]) + "c " + pt(p[0], p[1]) + "l " + pt(p[0] - ox, p[1] - oy) + pt(ax - ox, ay - oy) +
           pt(ax, ay) + "c f\n";
    } else if (subtype == "Squiggly") {
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

bool Markup(TBuilder& b, const std::string& subtype, const TBox& box) {
  std::string& c = b.Content;
  std::string dash;
  const double bw = b.BorderWidth(dash);
  const std::string stroke = b.Colour(b.Get("C"), true);
  const std::string fill = b.Colour(b.Get("IC"), false);
  const std::string pen = Num(bw) + " w " + dash;
  const bool stroked = !stroke.empty() && bw > 0;
  std::vector<double> v;
  if (subtype == "Square" || subtype == "Circle") {
    const double i = bw / 2;
    if (box.Width() <= bw || box.Height() <= bw) return false;
    const std::string shape = subtype == "Square"
                                  ? RectPath(box.X0 + i, box.Y0 + i, box.Width() - bw, box.Height() - bw)
                                  : Ellipse(box.X0 + i, box.Y0 + i, box.X1 - i, box.Y1 - i);
    if (fill.empty() && !stroked) return false;
    c += fill + (stroked ? stroke + pen : "") + shape + (fill.empty() ? "S\n" : stroked ? "B\n" : "f\n");
    return true;
  }
  if (subtype == "Line" || subtype == "Polygon" || subtype == "PolyLine") {
    if (!b.Numbers(b.Get(subtype == "Line" ? "L" : "Vertices"), v) || v.size() < 4) return false;
    if (subtype == "Line") v.resize(4);
    v.resize(v.size() & ~std::size_t{1});
    const bool closed = subtype == "Polygon";
    const bool filled = closed && !fill.empty();
    if (!stroked && !filled) return false;
    c += (filled ? fill : "") + (stroked ? stroke + pen : "") + Polyline(v, closed) +
         (filled ? (stroked ? "B\n" : "f\n") : "S\n");
    if (!closed && stroked) c += "[] 0 d " + LineEndings(b, v, bw, fill);
    return true;
  }
  if (subtype == "Ink") {
    auto* list = As<TPDFArray>(b.Get("InkList"));
    if (!list || stroke.empty()) return false;
    c += stroke + pen + "1 J 1 j\n";
    for (int i = 0; i < list->Count() && i < kMaxPoints; ++i) {
      if (!b.Numbers(b.Resolve(list->Item(i)), v) || v.size() < 2) continue;
      if (v.size() == 2) v.insert(v.end(), {v[0], v[1]});
      c += Polyline(v, false) + "S\n";
    }
    return true;
  }
  if (subtype == "Highlight" || subtype == "Underline" || subtype == "StrikeOut" || subtype == "Squiggly")
    return TextMarkup(b, subtype, box);
  return false;
}

bool FreeText(TBuilder& b, TPDFDictionary* acroForm, const TBox& box) {
  std::string dash;
  const double bw = b.BorderWidth(dash);
  std::string& c = b.Content;
  const std::string fill = b.Colour(b.Get("C"), false);
  if (!fill.empty()) c += fill + RectPath(box.X0, box.Y0, box.Width(), box.Height()) + "f\n";
  if (bw > 0) {
    c += "0 G " + Num(bw) + " w " + dash +
         RectPath(box.X0 + bw / 2, box.Y0 + bw / 2, box.Width() - bw, box.Height() - bw) + "S [] 0 d\n";
  }
  FreeTextContents(b, acroForm, box, bw);
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
  return ft && (ft->Value == "Tx" || ft->Value == "Ch" || ft->Value == "Btn");
}

bool GenerateAppearance(TPDFRenderer& r, TPDFDictionary& annot, TPDFDictionary* acroForm,
                        TGeneratedAppearance& out) {
  TBuilder b(r, annot);
  auto* subtype = As<TPDFName>(b.Get("Subtype"));
  std::vector<double> rect;
  if (!subtype || !b.Numbers(b.Get("Rect"), rect, 4) || rect.size() != 4) return false;
  const TBox box{std::min(rect[0], rect[2]), std::min(rect[1], rect[3]), std::max(rect[0], rect[2]),
                 std::max(rect[1], rect[3])};
  const std::string& kind = subtype->Value;
  bool made = false;
  if (kind == "Widget") {
    made = Widget(b, acroForm, box);
  } else if (kind == "FreeText") {
    made = FreeText(b, acroForm, box);
  } else if (kind == "Text") {
    NoteIcon(b, box);
    made = true;
  } else {
    made = Markup(b, kind, box);
  }
  if (!made || b.Content.empty()) return false;
  // The annotation's opacity applies to all of it.
  const double opacity = std::clamp(b.Number(b.Get("CA"), 1), 0.0, 1.0);
  std::string prefix = "q ";
  if (opacity < 1) {
    b.States += "/KA << /CA " + Num(opacity) + " /ca " + Num(opacity) + " >> ";
    prefix += "/KA gs ";
  }
  out.Content = prefix + b.Content + " Q\n";
  out.Resources = std::string("<< /Font << /") + kFallbackFont +
                  " << /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >> /" +
                  kDingbatsFont + " << /Type /Font /Subtype /Type1 /BaseFont /ZapfDingbats >> " + b.Fonts +
                  ">> /ExtGState << " + b.States + ">> >>";
  return true;
}

}  // namespace kestrel
