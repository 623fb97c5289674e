#include "engine/fonts/system/system_font_choice.h"

#include <algorithm>

#include "engine/fonts/standard/standard_fonts.h"
#include "engine/fonts/system/system_fonts.h"

namespace kestrel {
namespace {

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// Cuts `tail` off `s` when it ends with it.
bool CutSuffix(std::string& s, std::string_view tail) {
  if (!EndsWith(s, tail)) return false;
  s.erase(s.size() - tail.size());
  return true;
}

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
}

bool IsSubsetTag(std::string_view s) {
  if (s.size() <= 7 || s[6] != '+') return false;
  return std::all_of(s.begin(), s.begin() + 6, [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::string WithoutSpaces(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != ' ') out += c;
  return out;
}

}  // namespace

TSystemFont ChooseSystemFont(std::string_view name, int flags,
                             const std::vector<std::string>& families) {
  std::string n(name);
  CutSuffix(n, "MT");
  if (std::size_t at = n.find("MT-"); at != std::string::npos) n.erase(at, 3);
  if (IsSubsetTag(n)) n.erase(0, 7);
  if (std::size_t plus = n.find('+'); plus != std::string::npos) n.erase(plus);
  // A standard font's own name ("Times-Italic") is known before the style suffixes are
  // rewritten; afterwards only the comma forms of the alias lists can match.
  const int named = StandardFontIndex(n);
  // "-Bold" goes first, so "-BoldItalic" never matches: the order is the one PDF producers
  // rely on, where "Foo-BoldOblique" ends up as "Foo,BoldOblique".
  ReplaceAll(n, "-Bold", ",Bold");
  ReplaceAll(n, "-Italic", ",Italic");
  ReplaceAll(n, "-Oblique", ",Italic");
  ReplaceAll(n, "-BoldItalic", ",BoldItalic");
  ReplaceAll(n, "-BoldOblique", ",BoldItalic");
  ReplaceAll(n, ",Bold,Bold", ",Bold");
  if (int row = named > 0 ? named : StandardFontIndex(n); row > 0) n = StandardFontSubstitute(row);

  TSystemFont font;
  if (CutSuffix(n, ",Bold")) font.Bold = true;
  if (CutSuffix(n, ",Italic")) font.Italic = true;
  if (CutSuffix(n, ",BoldItalic")) font.Bold = font.Italic = true;

  for (const std::string& family : families) {
    if (n == family || n == WithoutSpaces(family)) {
      font.Family = family;
      return font;
    }
    if (n == family + "Italic") {
      font.Family = family;
      font.Italic = true;
      return font;
    }
  }
  // The style the name gave is kept: "Cambria,Bold" falls back to a bold face.
  font.Family = "Arial";
  if (flags & kFlagFixedPitch) font.Family = "Courier";
  if (flags & kFlagSerif) font.Family = "Times New Roman";
  if (flags & kFlagItalic) font.Italic = true;
  return font;
}

TSystemFont ChooseSystemFont(std::string_view name, int flags) {
  return ChooseSystemFont(name, flags, MatchableFontFamilies());
}

}  // namespace kestrel
