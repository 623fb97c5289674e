#include "app/status_text.h"

#include <array>

namespace plover {

const std::string& StatusText(int language, int position) {
  static const std::array<std::array<std::string, kStatusCount>, 2> kTexts = {{
      {"打开失败(密码?)", "就绪", "处理中", "完成", "失败", "不是PDF文件", "文件不存在", "文件已损坏", "已取消",
       "已跳过"},
      {"Open failed(password?)", "Ready", "Processing", "Complete", "Failed", "Not a PDF file", "File not found",
       "Damaged file", "Cancelled", "Skipped"},
  }};
  if (language < 0 || language > 1) language = 1;
  if (position < 0 || position >= kStatusCount) position = kJobFailed;
  return kTexts[static_cast<std::size_t>(language)][static_cast<std::size_t>(position)];
}

}  // namespace plover
