#include "app/gui/widgets/file_icon_cache.h"

#include <QApplication>
#include <QStyle>

namespace plover {

QIcon TFileIconCache::IconFor(const QString& fileName) {
  // By extension only: the file is never opened for this.
  const QMimeType type = mimeTypes_.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
  const QString key = type.name();
  auto found = icons_.constFind(key);
  if (found != icons_.constEnd()) return *found;
  QIcon icon;
  for (const QString& name : {type.iconName(), QStringLiteral("gnome-mime-") + type.iconName(),
                              type.genericIconName(), QStringLiteral("text-x-generic")}) {
    icon = QIcon::fromTheme(name);
    if (!icon.isNull()) break;
  }
  if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
  icons_.insert(key, icon);
  return icon;
}

}  // namespace plover
