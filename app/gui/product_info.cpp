#include "app/gui/product_info.h"

#include "app/install_paths.h"

namespace plover {

const TProductInfo& ProductInfo(int language) {
  static const TProductInfo kChinese{
      QString::fromUtf8("Plover PDF转图片"), QString(), QString(), QString(),
      QString::fromUtf8("选择PDF文件(支持多选)"), QString::fromUtf8("PDF文件(*.pdf)"),
  };
  static const TProductInfo kEnglish{
      QStringLiteral("Plover PDF to Image"), QString(), QString(), QString(),
      QStringLiteral("Select the PDF file (supports multiple selection)"), QStringLiteral("PDF files(*.pdf)"),
  };
  return language == 0 ? kChinese : kEnglish;
}

QString HelpDocument() { return QString::fromStdString(DocumentationFile("README.md").string()); }

}  // namespace plover
