#include "engine/fonts/system/system_fonts.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <string_view>
#include <tuple>

#include "engine/fonts/standard/builtin_fonts.h"

namespace kestrel {
namespace {

// Family lists and font files are process-wide; the window converts on a worker thread, so
// the first use is guarded.
std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}

std::string Folded(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == ' ') continue;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) {
      const auto u = static_cast<unsigned char>(c);
      return (u >= 'A' && u <= 'Z') ? u + 32 : u;
    };
    return lower(x) < lower(y);
  });
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return !LessIgnoringCase(a, b) && !LessIgnoringCase(b, a);
}

void SortFamilies(std::vector<std::string>& families) {
  std::stable_sort(families.begin(), families.end(), LessIgnoringCase);
  families.erase(std::unique(families.begin(), families.end(), EqualIgnoringCase), families.end());
}

// Families documents name that Linux rarely has, with the installed fonts drawn after them
// with the same metrics, best first. The URW base 35 fonts are the standard fonts' own
// designs; Liberation and Croscore keep widths but change shapes.
struct TStandIn {
  const char* Folded;  // the family, lower case without spaces
  const char* CoreName;  // offered to the name matching as if installed; null for none
  std::vector<const char*> Families;
};

const std::vector<TStandIn>& StandIns() {
  static const std::vector<TStandIn> table = {
      {"arial", "Arial", {"Nimbus Sans", "Liberation Sans", "Arimo"}},
      {"helvetica", "Helvetica", {"Nimbus Sans", "Liberation Sans", "Arimo"}},
      {"couriernew", "Courier New", {"Nimbus Mono PS", "Liberation Mono", "Cousine"}},
      {"courier", "Courier", {"Nimbus Mono PS", "Liberation Mono", "Cousine"}},
      {"timesnewroman", "Times New Roman", {"Nimbus Roman", "Liberation Serif", "Tinos"}},
      {"times", "Times", {"Nimbus Roman", "Liberation Serif", "Tinos"}},
      {"symbol", "Symbol", {"Standard Symbols PS"}},
      {"zapfdingbats", "ZapfDingbats", {"D050000L"}},
      {"arialnarrow", nullptr, {"Nimbus Sans Narrow", "Liberation Sans Narrow"}},
      {"msuigothic", nullptr,
       {"Noto Sans CJK JP", "IPAGothic", "VL Gothic", "WenQuanYi Micro Hei",
        "Droid Sans Fallback"}},
  };
  return table;
}

const TStandIn* FindStandIn(std::string_view family) {
  const std::string key = Folded(family);
  for (const TStandIn& s : StandIns())
    if (key == s.Folded) return &s;
  return nullptr;
}

bool IsInstalled(std::string_view family) {
  const std::string key = Folded(family);
  for (const std::string& f : ListFontFamilies())
    if (Folded(f) == key) return true;
  return false;
}

std::uint32_t BigEndian32(const std::vector<std::uint8_t>& b, std::size_t at) {
  if (at > b.size() || b.size() - at < 4) return 0;
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

std::shared_ptr<TSystemFontData> ReadFontFileOnce(const std::string& path, int faceIndex) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return nullptr;
  const std::streamoff size = in.tellg();
  if (size <= 0 || static_cast<std::uint64_t>(size) >= kMaxSystemFontBytes) return nullptr;
  auto data = std::make_shared<TSystemFontData>();
  data->Path = path;
  data->FaceIndex = faceIndex;
  data->File.resize(static_cast<std::size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(data->File.data()), size)) return nullptr;
  const std::vector<std::uint8_t>& f = data->File;
  std::uint32_t tag = BigEndian32(f, 0);
  if (tag == 0x74746366) {  // "ttcf": table offsets count from the start of the file
    const std::uint32_t count = BigEndian32(f, 8);
    if (faceIndex < 0 || static_cast<std::uint32_t>(faceIndex) >= count) return nullptr;
    const std::uint32_t offset = BigEndian32(f, 12 + 4 * static_cast<std::size_t>(faceIndex));
    if (offset >= f.size()) return nullptr;
    data->FaceOffset = offset;
    tag = BigEndian32(f, offset);
  }
  data->Sfnt = tag == 0x00010000 || tag == 0x74727565 || tag == 0x4F54544F;
  data->CffFlavoured = tag == 0x4F54544F;
  return data;
}

// Many names end at the same fallback font: each file is read once.
std::shared_ptr<TSystemFontData> ReadFontFile(const std::string& path, int faceIndex) {
  static std::map<std::pair<std::string, int>, std::shared_ptr<TSystemFontData>> files;
  const auto key = std::make_pair(path, faceIndex);
  if (auto it = files.find(key); it != files.end()) return it->second;
  auto data = ReadFontFileOnce(path, faceIndex);
  files.emplace(key, data);
  return data;
}

// Asks fontconfig for the fonts closest to `families` in the style, best first, and reads the
// first one with TrueType or OpenType tables; a Type 1 file only when nothing else comes.
std::shared_ptr<TSystemFontData> MatchFont(const std::vector<std::string>& families,
                                           const TSystemFont& font) {
  FcPattern* pattern = FcPatternCreate();
  for (const std::string& f : families)
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(f.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, font.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, font.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  if (!font.Language.empty())
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(font.Language.c_str()));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcFontSet* set = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
  FcPatternDestroy(pattern);
  if (!set) return nullptr;
  std::shared_ptr<TSystemFontData> chosen, fallback;
  // A handful of candidates is enough: the rest are other families entirely.
  for (int i = 0; i < set->nfont && i < 16 && !chosen; ++i) {
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
    FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
    auto data = ReadFontFile(reinterpret_cast<const char*>(file), index & 0xFFFF);
    if (!data) continue;
    if (data->Sfnt)
      chosen = data;
    else if (!fallback)
      fallback = data;
  }
  FcFontSetDestroy(set);
  return chosen ? chosen : fallback;
}

std::shared_ptr<TSystemFontData> LookUp(const TSystemFont& font) {
  std::vector<std::string> families;
  if (!IsInstalled(font.Family) && font.Language.empty()) {
    if (const TStandIn* standIn = FindStandIn(font.Family)) {
      for (const char* f : standIn->Families)
        if (IsInstalled(f)) families.emplace_back(f);
    }
  }
  families.push_back(font.Family);
  return MatchFont(families, font);
}

}  // namespace

const std::vector<std::string>& ListFontFamilies(int /*charSet*/) {
  static const std::vector<std::string> families = [] {
    std::vector<std::string> list;
    if (!FcInit()) return list;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    if (FcFontSet* set = FcFontList(nullptr, pattern, objects)) {
      for (int i = 0; i < set->nfont; ++i) {
        FcChar8* name = nullptr;
        for (int n = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, n, &name) == FcResultMatch; ++n)
          list.emplace_back(reinterpret_cast<const char*>(name));
      }
      FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    SortFamilies(list);
    return list;
  }();
  return families;
}

const std::vector<std::string>& MatchableFontFamilies() {
  static const std::vector<std::string> families = [] {
    std::vector<std::string> list = ListFontFamilies();
    for (const TStandIn& s : StandIns()) {
      if (!s.CoreName) continue;
      if (std::any_of(s.Families.begin(), s.Families.end(), IsInstalled))
        list.emplace_back(s.CoreName);
    }
    SortFamilies(list);
    return list;
  }();
  return families;
}

std::shared_ptr<const TSystemFontData> GetSystemFontData(const TSystemFont& font) {
  static std::map<std::tuple<std::string, bool, bool, std::string>,
                  std::shared_ptr<const TSystemFontData>>
      cache;
  std::lock_guard<std::mutex> guard(Lock());
  const auto key = std::make_tuple(Folded(font.Family), font.Bold, font.Italic, font.Language);
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  std::shared_ptr<const TSystemFontData> data;
  if (FcInit()) {
    data = LookUp(font);
    if (!data && Folded(font.Family) != "arial" && font.Language.empty()) {
      TSystemFont arial = font;
      arial.Family = "Arial";
      data = LookUp(arial);
    }
  }
  cache.emplace(key, data);
  return data;
}

std::shared_ptr<const TSystemFontData> DingbatsFontAsSystemFont() {
  static const std::shared_ptr<const TSystemFontData> font = [] {
    auto data = std::make_shared<TSystemFontData>();
    data->Path = "OspDingbats";
    const std::span<const std::uint8_t> bytes = DingbatsFontData();
    data->File.assign(bytes.begin(), bytes.end());
    data->Sfnt = !data->File.empty();
    return data;
  }();
  return font;
}

}  // namespace kestrel
