#include "app/convert_plan.h"

#include <sys/stat.h>

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

}  // namespace plover
