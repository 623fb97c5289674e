#pragma once
// What the made appearances of annotations and form fields share: reading the annotation's
// entries, numbers as content text, shapes, and the fonts text is set in.
#include <array>
#include <string>
#include <vector>

#include "engine/render/renderer.h"
#include "engine/syntax/objects.h"

namespace kestrel::appearance {

// Vertices, quads and ink points drawn at most per annotation.
constexpr int kMaxPoints = 20000;
// Characters of text a field or note holds at most (longer values are cut).
constexpr std::size_t kMaxText = 4096;
// Resource names of the fonts the made content falls back on.
constexpr const char* kFallbackFont = "KHelv";
constexpr const char* kDingbatsFont = "KZaDb";

std::string Num(double v);
// A number from a file as an int within [lo, hi].
int ClampedInt(double v, int lo, int hi);

struct TBox {
  double X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
  double Width() const { return X1 - X0; }
  double Height() const { return Y1 - Y0; }
};

// Reads the annotation's entries and collects the content and resources made for it.
class TBuilder {
 public:
  TBuilder(TPDFRenderer& r, TPDFDictionary& annot) : r_(r), annot_(annot) {}

  TPDFObject* Get(TPDFDictionary& d, TByteView key) { return r_.ResolveObject(d.GetValue(key, false)); }
  TPDFObject* Get(TByteView key) { return Get(annot_, key); }
  // The entry in the field or its Parent chain (fields keep /FT, /V, /DA, /Ff, /Q there).
  TPDFObject* Inherited(TByteView key) { return r_.LookupInherited(&annot_, key); }
  TPDFObject* Resolve(TPDFObject* obj) { return r_.ResolveObject(obj); }

  bool Numbers(TPDFObject* obj, std::vector<double>& out, int most = kMaxPoints);
  double Number(TPDFObject* obj, double fallback);
  // A colour array as a fill ("rg") or stroke ("RG") operator; empty for none.
  std::string Colour(TPDFObject* obj, bool stroke);
  // Border width and dash from /BS, else /Border (`fallback` when neither says).
  double BorderWidth(std::string& dash, double fallback = 1);

  std::string Content;
  std::string States;  // ExtGState entries the content names, as PDF text
  std::string Fonts;   // font entries beyond the fallback fonts, as PDF text

 private:
  TPDFRenderer& r_;
  TPDFDictionary& annot_;
};

std::string RectPath(double x, double y, double w, double h);
// Four cubic curves through the ellipse inscribed in the box.
std::string Ellipse(double x0, double y0, double x1, double y1);
std::string Polyline(const std::vector<double>& v, bool close);
// Unicode of a PDF text string (UTF-16BE with its mark, else PDFDocEncoding read as Latin-1).
std::u32string TextOf(TByteView bytes);
// A PDF literal string of single-byte codes.
std::string LiteralString(const std::string& codes);

// /DA read as its font name, size and colour operator ("/Helv 0 Tf 0 g").
struct TDefaultAppearance {
  std::string Font;  // "/Helv"
  double Size = 0;
  std::string Colour = "0 g\n";
};
TDefaultAppearance ParseDA(TByteView da);

// The font text is set in: its resource name, and the widths of its single-byte codes, which
// Unicode text is mapped to through WinAnsi (or the dingbats' own codes).
struct TFieldFont {
  std::string Resource;  // "/Helv"
  std::array<double, 256> Widths{};  // thousandths of an em
  double Ascent = 718, Descent = -207;

  std::string Codes(const std::u32string& text) const;
  double Width(const std::string& codes, double size) const;
};

// The /DA font from the form's default resources, or built-in Helvetica when the form has
// no such font; the font's entry is added to the builder's resources.
TFieldFont FieldFont(TBuilder& b, TPDFDictionary* acroForm, const std::string& name);
// Built-in ZapfDingbats under its own codes.
TFieldFont DingbatsFont();

}  // namespace kestrel::appearance
