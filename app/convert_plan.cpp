#include "app/convert_plan.h"

namespace plover {

std::string OutputFolderFor(const std::string& rowFolder, const std::string& fileName, bool custom,
                            const std::string& customFolder) {
  std::string folder = custom ? customFolder : rowFolder;
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  const std::size_t dot = fileName.rfind('.');
  std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);
  // A name that is all extension (".pdf") keeps its name rather than writing into the folder itself.
  if (stem.empty()) stem = fileName;
  return folder + stem + "/";
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
