#pragma once
// Installed fonts through fontconfig: the family names, and the file of the font that stands
// in for a family and style. Both are looked up once per process and kept.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/fonts/system/system_font_choice.h"

namespace kestrel {

// Installed family names, sorted case-insensitively, each name once. The list is built on
// first use and kept for the life of the process. Only the default character set (1) is
// asked for; any value gives the same list.
const std::vector<std::string>& ListFontFamilies(int charSet = 1);

// The installed families plus the core families that documents name and that this machine
// supplies through metric-compatible stand-ins ("Arial", "Courier New", "Times New Roman",
// "Symbol", "ZapfDingbats", "Helvetica", "Times", "Courier"), sorted the same way.
const std::vector<std::string>& MatchableFontFamilies();

// The file of an installed font.
struct TSystemFontData {
  std::string Path;
  int FaceIndex = 0;                // face within a collection file
  std::vector<std::uint8_t> File;   // the whole file
  std::uint32_t FaceOffset = 0;     // where the face's table directory starts in `File`
  bool Sfnt = false;                // TrueType or OpenType tables (else a Type 1 program)
  bool CffFlavoured = false;        // OpenType with CFF outlines ("OTTO")

  // The face's data from its table directory to the end of the file; table offsets in it are
  // `OffsetBias()` bytes too large (collection members).
  std::span<const std::uint8_t> Bytes() const {
    return std::span<const std::uint8_t>(File).subspan(FaceOffset);
  }
  std::int64_t OffsetBias() const { return FaceOffset; }
};

// The installed font that draws `font`: the family itself when installed, a metric-compatible
// stand-in for the core families (the URW base 35 fonts first), else fontconfig's best match.
// Null when nothing can be read. Looked up and read once per family and style per process.
std::shared_ptr<const TSystemFontData> GetSystemFontData(const TSystemFont& font);

// The built-in dingbats font (see DingbatsFontData) as an installed font, for the system
// outline path.
std::shared_ptr<const TSystemFontData> DingbatsFontAsSystemFont();

// Fonts larger than this are not read (the family falls back to "Arial").
constexpr std::size_t kMaxSystemFontBytes = 104857600;

}  // namespace kestrel
