#pragma once
// Which installed font stands in for a font the PDF names but does not embed.
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// An installed font as a rasteriser asks for it: family, style and character set.
struct TSystemFont {
  std::string Family = "Arial";
  bool Bold = false;
  bool Italic = false;
  int CharSet = 1;  // the default character set, the only one asked for
  // A script the font must cover ("ja", "zh-cn"): the family then only has to be close.
  std::string Language;

  bool operator==(const TSystemFont&) const = default;
};

// Font descriptor flags that guide the choice.
constexpr int kFlagFixedPitch = 1;
constexpr int kFlagSerif = 2;
constexpr int kFlagSymbolic = 4;
constexpr int kFlagItalic = 64;

// Picks the family and style for a PDF font name: subset tags, "MT" and style suffixes are cut,
// standard-font aliases map to their substitutes, and the rest is matched against `families`
// (sorted case-insensitively); a name nothing matches falls back by the descriptor flags.
TSystemFont ChooseSystemFont(std::string_view name, int flags,
                             const std::vector<std::string>& families);

// The same against the families this machine can supply (`MatchableFontFamilies`).
TSystemFont ChooseSystemFont(std::string_view name, int flags);

}  // namespace kestrel
