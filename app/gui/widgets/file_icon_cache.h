#pragma once
// Small file icons by file type, looked up by name only and kept once per type.
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

namespace plover {

class TFileIconCache {
 public:
  QIcon IconFor(const QString& fileName);
  int Count() const { return static_cast<int>(icons_.size()); }

 private:
  QMimeDatabase mimeTypes_;
  QHash<QString, QIcon> icons_;
};

}  // namespace plover
