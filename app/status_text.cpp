#include "app/status_text.h"

#include <array>

namespace plover {

const std::string& StatusText(int language, int position) {
  static const std::array<std::string, 10> kTexts = {
      "打开失败(密码?)", "就绪", "处理中", "完成", "失败",
      "Open failed(password?)", "Ready", "Processing", "Complete", "Failed"};
  if (language < 0 || language > 1) language = 1;
  if (position < 0 || position > 4) position = 4;
  return kTexts[static_cast<std::size_t>(language * 5 + position)];
}

}  // namespace plover
