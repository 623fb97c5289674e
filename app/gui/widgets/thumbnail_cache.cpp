#include "app/gui/widgets/thumbnail_cache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "app/conversion_job.h"
#include "engine/kestrel.h"

namespace plover {

QImage RenderFirstPage(const QString& path, const QString& password, int side) {
  std::string bytes;
  try {
    bytes = ReadWholeFile(QFile::encodeName(path).toStdString());
  } catch (const std::exception&) {
    return {};
  }
  kestrel::TKestrel0725 engine;
  const std::string secret = password.toStdString();
  kestrel::TSmartPDFLink* handle = engine.OpenDocument(bytes, secret);
  if (!handle || engine.GetPageCount(handle) < 1) return {};
  double width = 0, height = 0;
  int dpi = 12;
  if (engine.PageSizeInPoints(handle, 1, width, height) && std::max(width, height) > 1)
    dpi = static_cast<int>(std::clamp(side * 72.0 / std::max(width, height), 2.0, 96.0));
  kestrel::TPDFIndRef* page = engine.FindPage(handle, 1);
  std::string image;
  // Format 0 is BMP: the quickest to write and to read back.
  if (!page || engine.RenderPageToStream(handle, page, image, dpi, 0) == 0 || image.empty()) return {};
  const QImage drawn = QImage::fromData(reinterpret_cast<const uchar*>(image.data()), static_cast<int>(image.size()));
  if (drawn.isNull()) return {};
  return drawn.width() > side || drawn.height() > side ? drawn.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                                       : drawn;
}

TThumbnailCache::TThumbnailCache(const QString& diskFolder, QObject* parent)
    : QObject(parent), diskFolder_(diskFolder), render_(&RenderFirstPage) {
  pool_.setMaxThreadCount(1);
  PruneDisk();
}

void TThumbnailCache::PruneDisk() {
  if (diskFolder_.isEmpty()) return;
  const QFileInfoList stored = QDir(diskFolder_).entryInfoList({QStringLiteral("*.png")}, QDir::Files, QDir::Time);
  for (int i = kMaxStored; i < stored.size(); ++i) QFile::remove(stored.at(i).absoluteFilePath());
}

void TThumbnailCache::Forget(const QString& path) {
  known_.remove(path);
  images_.remove(path);
}

TThumbnailCache::~TThumbnailCache() {
  queue_.clear();
  pool_.waitForDone();
}

QString TThumbnailCache::KeyOf(const QString& path) const {
  const QFileInfo info(path);
  const QByteArray id = QFile::encodeName(info.absoluteFilePath()) + '\n' + QByteArray::number(info.size()) + '\n' +
                        QByteArray::number(info.lastModified().toMSecsSinceEpoch());
  return QString::fromLatin1(QCryptographicHash::hash(id, QCryptographicHash::Sha1).toHex());
}

void TThumbnailCache::Request(const QString& path, const QString& password) {
  if (known_.contains(path)) return;
  known_.insert(path);
  queue_.push_back({path, password});
  StartNext();
}

void TThumbnailCache::SetPaused(bool paused) {
  paused_ = paused;
  if (!paused_) StartNext();
  else if (!running_) emit Idle();
}

void TThumbnailCache::StartNext() {
  if (running_ || paused_ || queue_.isEmpty()) return;
  const TRequest next = queue_.takeFirst();
  running_ = true;
  const QString stored =
      diskFolder_.isEmpty() || !next.Password.isEmpty() ? QString() : diskFolder_ + KeyOf(next.Path) + QStringLiteral(".png");
  pool_.start([this, next, stored, render = render_] {
    QImage image;
    const bool fromDisk = !stored.isEmpty() && image.load(stored, "PNG");
    if (!fromDisk) image = render(next.Path, next.Password, kSide);
    // The cache outlives this task (its destructor waits), so the queued call reaches it.
    QMetaObject::invokeMethod(
        this, [this, path = next.Path, stored, image, fromDisk] { Finished(path, stored, image, fromDisk); },
        Qt::QueuedConnection);
  });
}

void TThumbnailCache::Finished(const QString& path, const QString& stored, const QImage& image, bool fromDisk) {
  running_ = false;
  // A file removed meanwhile (Forget) is not kept.
  if (!image.isNull() && known_.contains(path)) {
    images_.insert(path, image);
    if (!fromDisk && !stored.isEmpty() && QDir().mkpath(diskFolder_)) image.save(stored, "PNG");
    emit ThumbnailReady(path);
  }
  StartNext();
  if (!running_) emit Idle();
}

}  // namespace plover
