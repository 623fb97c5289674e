#include "app/gui/window_texts.h"

namespace plover {

namespace {

struct TTextPair {
  const char* Chinese;
  const char* English;
};

constexpr TTextPair kTexts[] = {
    {"已转换 %1 个", "%1 converted"},
    {"，失败 %1 个", ", %1 failed"},
    {"，取消 %1 个", ", %1 cancelled"},
    {"，跳过 %1 个", ", %1 skipped"},
    {"打开输出文件夹", "Open output folder"},
    {"在当前页完成后停止转换吗？", "Stop the conversion after the current page?"},
    {"正在转换。停止转换并关闭窗口吗？", "A conversion is running. Stop it and close the window?"},
    {"输出文件夹 %1 中已有另一次转换的页面图片（如 %2），新图片会与它们混在一起。仍要转换吗？",
     "The output folder %1 already holds page images of another run (such as %2); the new images would be "
     "mixed with them. Convert anyway?"},
    {"已从 %2 添加 %1 个PDF文件", "%1 PDF files added from %2"},
    {"%1 中没有PDF文件", "No PDF file in %1"},
    {"无法识别页码“%1”。请输入如 1-3,7 的页码，留空则转换全部页面。",
     "Cannot read the pages \"%1\". Enter pages such as 1-3,7, or leave the field empty for every page."},
    {"全部页面（如 1-3,7）", "all (or such as 1-3,7)"},
};

}  // namespace

QString WindowText(int language, TWindowText which) {
  const TTextPair& pair = kTexts[static_cast<int>(which)];
  return QString::fromUtf8(language == 0 ? pair.Chinese : pair.English);
}

QString ResultLineText(int language, int converted, int failed, int cancelled, int skipped) {
  QString line = WindowText(language, TWindowText::Converted).arg(converted);
  if (failed > 0) line += WindowText(language, TWindowText::Failed).arg(failed);
  if (cancelled > 0) line += WindowText(language, TWindowText::Cancelled).arg(cancelled);
  if (skipped > 0) line += WindowText(language, TWindowText::Skipped).arg(skipped);
  return line;
}

}  // namespace plover
