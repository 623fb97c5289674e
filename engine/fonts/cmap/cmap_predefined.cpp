#include "engine/fonts/cmap/cmap_predefined.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>

#include "engine/syntax/bytes.h"

namespace kestrel {
namespace {

struct TRegistry {
  std::mutex Lock;
  std::string Root = "/usr/share/poppler";
  std::map<std::string, std::shared_ptr<const TPDFEncodingCMap>, std::less<>> CMaps;
  std::map<std::string, std::vector<std::u16string>, std::less<>> Unicode;
};

TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

// Names reach the file system: only plain file names are accepted.
bool SafeName(std::string_view name) {
  if (name.empty() || name.size() > 64 || name[0] == '.') return false;
  for (const char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.')) return false;
  return true;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The CMap file of that name in any collection folder under <root>/cMap.
std::string FindCMapFile(const std::string& root, std::string_view name) {
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::path(root) / "cMap";
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::filesystem::path file = entry.path() / std::string(name);
    if (std::filesystem::is_regular_file(file, ec)) return ReadFile(file);
  }
  return {};
}

// One line per CID, each the UTF-16 text in hexadecimal (groups of four digits).
std::vector<std::u16string> ParseCIDToUnicode(const std::string& text) {
  std::vector<std::u16string> table;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line) && table.size() <= 0x10000) {
    std::u16string units;
    std::uint32_t unit = 0;
    int digits = 0;
    for (const char c : line) {
      const int v = HexValue(static_cast<unsigned char>(c));
      if (v < 0) break;
      unit = unit * 16 + static_cast<std::uint32_t>(v);
      if (++digits % 4 == 0) {
        units += static_cast<char16_t>(unit);
        unit = 0;
      }
    }
    table.push_back(std::move(units));
  }
  return table;
}

}  // namespace

void SetPredefinedCMapRoot(std::string root) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  r.Root = std::move(root);
  r.CMaps.clear();
  r.Unicode.clear();
}

std::shared_ptr<const TPDFEncodingCMap> PredefinedCMap(std::string_view name, int depth) {
  if (name == "Identity-H" || name == "Identity-V") {
    static const auto h = TPDFEncodingCMap::Identity(0), v = TPDFEncodingCMap::Identity(1);
    return name == "Identity-H" ? h : v;
  }
  if (!SafeName(name)) return {};
  TRegistry& r = Registry();
  std::string text;
  {
    std::lock_guard<std::mutex> guard(r.Lock);
    const auto it = r.CMaps.find(name);
    if (it != r.CMaps.end()) return it->second;
    text = FindCMapFile(r.Root, name);
  }
  // Parsed outside the lock: usecmap looks up its parent here again.
  std::shared_ptr<const TPDFEncodingCMap> cmap;
  if (!text.empty()) cmap = TPDFEncodingCMap::Parse(text, {}, depth);
  std::lock_guard<std::mutex> guard(r.Lock);
  return r.CMaps.emplace(std::string(name), cmap).first->second;
}

std::vector<TCharCode> SplitPredefinedCodes(std::string_view cmapName, std::string_view bytes,
                                            bool& recognised) {
  std::vector<TCharCode> codes;
  const auto cmap = PredefinedCMap(cmapName);
  recognised = cmap != nullptr;
  if (cmap) cmap->Split(bytes, codes);
  return codes;
}

std::string_view CollectionLanguage(std::string_view cidSystemInfo) {
  for (const auto& [ordering, language] :
       {std::pair{"-Japan", "ja"}, std::pair{"-GB1", "zh-cn"}, std::pair{"-CNS1", "zh-tw"},
        std::pair{"-Korea", "ko"}, std::pair{"-KR", "ko"}})
    if (cidSystemInfo.find(ordering) != std::string_view::npos) return language;
  return {};
}

std::u16string PredefinedUnicode(std::string_view cidSystemInfo, std::uint32_t cid) {
  // "Adobe-Japan1-6" -> "Adobe-Japan1"
  const std::size_t dash = cidSystemInfo.rfind('-');
  const std::string_view collection =
      dash == std::string_view::npos ? cidSystemInfo : cidSystemInfo.substr(0, dash);
  if (collection == "Adobe-Identity") return cid ? std::u16string(1, static_cast<char16_t>(cid)) : u"";
  if (!SafeName(collection)) return {};
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  auto it = r.Unicode.find(collection);
  if (it == r.Unicode.end()) {
    const std::string text =
        ReadFile(std::filesystem::path(r.Root) / "cidToUnicode" / std::string(collection));
    it = r.Unicode.emplace(std::string(collection), ParseCIDToUnicode(text)).first;
  }
  return cid < it->second.size() ? it->second[cid] : std::u16string{};
}

}  // namespace kestrel
