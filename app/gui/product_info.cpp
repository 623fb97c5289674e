#include "app/gui/product_info.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

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

QString HelpDocument() {
  // Installed: <prefix>/share/doc/plover/ beside <prefix>/bin/; in a build tree: the sources'.
  const QString programFolder = QCoreApplication::applicationDirPath();
  QStringList candidates = {programFolder + QStringLiteral("/../share/doc/plover/README.md")};
  const QString shared = QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("doc/plover/README.md"));
  if (!shared.isEmpty()) candidates << shared;
#ifdef PLOVER_SOURCE_DIR
  candidates << QStringLiteral(PLOVER_SOURCE_DIR "/README.md");
#endif
  for (const QString& candidate : candidates)
    if (QFileInfo(candidate).isFile()) return QFileInfo(candidate).canonicalFilePath();
  return {};
}

}  // namespace plover
