#include "app/gui/product_info.h"

namespace plover {

const TProductInfo& ProductInfo(int language) {
  static const TProductInfo kChinese{
      QString::fromUtf8("Plover PDF转图片"),
      QStringLiteral("https://plover.example.org/zh-cn/"),
      QStringLiteral("support@plover.example.org"),
      QStringLiteral("https://plover.example.org/zh-cn/download"),
      QStringLiteral("https://plover.example.org/zh-cn/guide"),
      QString::fromUtf8("选择PDF文件(支持多选)"),
      QString::fromUtf8("PDF文件(*.pdf)"),
  };
  static const TProductInfo kEnglish{
      QStringLiteral("Plover PDF to Image"),
      QStringLiteral("https://plover.example.org/"),
      QStringLiteral("support@plover.example.org"),
      QStringLiteral("https://plover.example.org/download"),
      QStringLiteral("https://plover.example.org/guide"),
      QStringLiteral("Select the PDF file (supports multiple selection)"),
      QStringLiteral("PDF files(*.pdf)"),
  };
  return language == 0 ? kChinese : kEnglish;
}

}  // namespace plover
