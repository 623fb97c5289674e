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

// Ending styles whose shape sits inside the line, which then stops at the shape's far side.
bool EndsInside(const std::string& style) { return style == "Circle" || style == "Square" || style == "Diamond"; }

// The shape a line ending style (/LE) of size `s` puts at `tip`; `ux`, `uy` point out of the line.
std::string LineEnding(const std::string& style, double tipX, double tipY, double ux, double uy, double s,
                       const std::string& fill) {
  auto at = [&](double along, double across) {
    return Num(tipX + ux * along - uy * across) + " " + Num(tipY + uy * along + ux * across);
  };
  const std::string paint = fill.empty() ? "S\n" : fill + "B\n";
  // Arrow wings leave the tip at 30 degrees.
  const double back = s * 0.866, half = s / 2;
  if (style == "OpenArrow") return at(-back, half) + " m " + at(0, 0) + " l " + at(-back, -half) + " l S\n";
  if (style == "ClosedArrow") return at(-back, half) + " m " + at(0, 0) + " l " + at(-back, -half) + " l h " + paint;
  if (style == "ROpenArrow") return at(back, half) + " m " + at(0, 0) + " l " + at(back, -half) + " l S\n";
  if (style == "RClosedArrow") return at(back, half) + " m " + at(0, 0) + " l " + at(back, -half) + " l h " + paint;
  if (style == "Butt") return at(0, half) + " m " + at(0, -half) + " l S\n";
  if (style == "Slash") return at(s / 4, half) + " m " + at(-s / 4, -half) + " l S\n";
  // The closed shapes are centred half their size inside the tip.
  const double cx = tipX - ux * half, cy = tipY - uy * half;
  if (style == "Circle") return Ellipse(cx - half, cy - half, cx + half, cy + half) + paint;
  auto around = [&](double along, double across) {
    return Num(cx + ux * along - uy * across) + " " + Num(cy + uy * along + ux * across);
  };
  if (style == "Square")
    return around(-half, -half) + " m " + around(half, -half) + " l " + around(half, half) + " l " +
           around(-half, half) + " l h " + paint;
  if (style == "Diamond")
    return around(-half, 0) + " m " + around(0, -half) + " l " + around(half, 0) + " l " + around(0, half) + " l h " + paint;
  return {};
}

// A Line or PolyLine with its /LE ending styles, six times the border width in size.
std::string LineWithEndings(TBuilder& b, std::vector<double> v, double bw, const std::string& fill) {
  auto* le = As<TPDFArray>(b.Get("LE"));
  std::string styles[2];
  for (int end = 0; le && end < 2 && end < le->Count(); ++end)
    if (auto* name = As<TPDFName>(b.Resolve(le->Item(end)))) styles[end] = name->Value;
  const double s = 6 * bw;
  std::string endings;
  for (int end = 0; end < 2; ++end) {
    if (styles[end].empty() || styles[end] == "None") continue;
    const std::size_t tip = end == 0 ? 0 : v.size() - 2, from = end == 0 ? 2 : v.size() - 4;
    const double len = std::hypot(v[tip] - v[from], v[tip + 1] - v[from + 1]);
    if (len <= 0) continue;
    const double ux = (v[tip] - v[from]) / len, uy = (v[tip + 1] - v[from + 1]) / len;
    endings += LineEnding(styles[end], v[tip], v[tip + 1], ux, uy, s, fill);
    if (EndsInside(styles[end])) {
      const double cut = std::min(s, len);
      v[tip] -= ux * cut;
      v[tip + 1] -= uy * cut;
    }
  }
  return Polyline(v, false) + "S\n" + (endings.empty() ? "" : "[] 0 d " + endings);
}

// Highlight, Underline, StrikeOut and Squiggly over each quadrilateral of /QuadPoints.
bool TextMarkup(TBuilder& b, const std::string& subtype, const TBox& box) {
  std::string dash;
  const std::string pen = Num(b.BorderWidth(dash)) + " w " + dash;
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
      // The ends bulge out by three sixteenths of the height.
      const double ox = (bx - ax) / len * h / 4, oy = (by - ay) / len * h / 4;
      c += pt(ax, ay) + "m " + pt(bx, by) + "l " + pt(bx + ox, by + oy) + pt(p[2] + ox, p[3] + oy) +
           pt(p[2], p[3]) + "c " + pt(p[0], p[1]) + "l " + pt(p[0] - ox, p[1] - oy) + pt(ax - ox, ay - oy) +
           pt(ax, ay) + "c f\n";
    } else if (subtype == "Squiggly") {
      // A zigzag of 4-point waves from the bottom edge up to a fifth of the height.
      const int steps = ClampedInt(len / 2, 1, kMaxPoints);
      c += "q " + pen + pt(ax, ay) + "m " + pt(bx, by) + "l " + pt(p[2], p[3]) + "l " + pt(p[0], p[1]) +
           "l h W n\n";
      for (int s = 0; s <= steps; ++s) {
        const double t = double(s) / steps;
        c += at(s % 2 ? 0 : 0.19, ax + (bx - ax) * t, ay + (by - ay) * t) + (s ? " l " : " m ");
      }
      c += "S Q\n";
    } else {
      // Underlines run along the bottom edge, strike-outs through the middle.
      const double t = subtype == "Underline" ? 0 : 0.5;
      c += pen + at(t, ax, ay) + " m " + at(t, bx, by) + " l S\n";
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
    if (!closed) {
      c += stroke + pen + LineWithEndings(b, v, bw, fill);
      return true;
    }
    c += (filled ? fill : "") + (stroked ? stroke + pen : "") + Polyline(v, true) +
         (filled ? (stroked ? "B\n" : "f\n") : "S\n");
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

// The border viewers draw on a link's rectangle, over its appearance if it has one: in /C
// (black without it), a line along the bottom edge for the underline style.
bool LinkBorder(TBuilder& b, const TBox& box) {
  std::string dash;
  const double bw = b.BorderWidth(dash);
  auto* c = As<TPDFArray>(b.Get("C"));
  std::string colour = b.Colour(c, true);
  if (!c) colour = "0 G\n";
  if (bw <= 0 || colour.empty()) return false;
  b.Content += colour + Num(bw) + " w " + dash;
  auto* bs = As<TPDFDictionary>(b.Get("BS"));
  auto* style = bs ? As<TPDFName>(b.Get(*bs, "S")) : nullptr;
  if (style && style->Value == "U") {
    b.Content += Num(box.X0) + " " + Num(box.Y0) + " m " + Num(box.X1) + " " + Num(box.Y0) + " l S\n";
  } else {
    b.Content += RectPath(box.X0, box.Y0, box.Width(), box.Height()) + "S\n";
  }
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
  } else if (kind == "Link") {
    made = LinkBorder(b, box);
  } else if (kind == "Text") {
    made = NoteIcon(b, box);
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
