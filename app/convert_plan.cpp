#include "app/convert_plan.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace plover {

namespace {

bool UsableName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

}  // namespace

std::string FolderNameFor(const std::string& fileName) {
  const std::size_t dot = fileName.rfind('.');
  std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);
  if (UsableName(stem)) return stem;
  return UsableName(fileName) ? fileName : "document";
}

std::string OutputFolderFor(const std::string& rowFolder, const std::string& fileName, bool custom,
                            const std::string& customFolder) {
  return WithSlash(custom ? customFolder : rowFolder) + FolderNameFor(fileName) + "/";
}

std::string TFolderClaims::Claim(const std::string& parent, const std::string& name) {
  const std::string base = WithSlash(parent);
  for (int n = 1;; ++n) {
    std::string folder = base + (n == 1 ? name : name + " (" + std::to_string(n) + ")");
    if (claimed_.count(folder)) continue;
    struct stat st {};
    // A link, or an entry that is no folder, is never written through.
    if (::lstat(folder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) continue;
    claimed_.insert(folder);
    return folder;
  }
}

// Integer arithmetic: the floating form truncates 29 of 100 to 28.
int ProgressAtFileStart(int n, int total) {
  if (total <= 0 || n <= 0) return 0;
  return static_cast<int>((200LL * n - 100) / (2LL * total));
}

int ProgressAtFileEnd(int n, int total) {
  if (total <= 0 || n <= 0) return 0;
  return static_cast<int>(100LL * n / total);
}

std::string ForeignPageFile(const std::string& folder, const std::string& extension,
                            const std::vector<TPageRange>& pages, int pageCount) {
  auto written = [&](long long page) {
    if (page < 1 || page > pageCount) return false;
    if (pages.empty()) return true;
    return std::any_of(pages.begin(), pages.end(), [&](const TPageRange& r) { return page >= r.First && page <= r.Last; });
  };
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const std::size_t dot = name.find('.');
    if (dot == 0 || dot == std::string::npos || dot > 10 || dot + 1 == name.size() || name[0] == '0') continue;
    const bool digits = std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(dot),
                                    [](unsigned char c) { return std::isdigit(c) != 0; });
    const bool capitals = std::all_of(name.begin() + static_cast<std::ptrdiff_t>(dot) + 1, name.end(), [](unsigned char c) {
      return std::isupper(c) != 0 || std::isdigit(c) != 0;
    });
    if (!digits || !capitals) continue;
    if (name.compare(dot + 1, std::string::npos, extension) != 0 || !written(std::stoll(name.substr(0, dot))))
      return name;
  }
  return {};
}

}  // namespace plover
