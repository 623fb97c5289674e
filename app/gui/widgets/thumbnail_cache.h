#pragma once
// First-page thumbnails of the listed files, rendered one at a time on a background thread at
// low resolution and kept in memory and in the user's cache folder, keyed by the file's path,
// size and modification time (an edited file is rendered again).
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <functional>

namespace plover {

class TThumbnailCache : public QObject {
  Q_OBJECT
 public:
  // The longer side of a thumbnail in pixels, and how many the cache folder keeps.
  static constexpr int kSide = 160;
  static constexpr int kMaxStored = 1000;
  // Renders the first page of a file; a null image when it cannot. Runs on the background thread.
  using TRenderer = std::function<QImage(const QString& path, const QString& password, int side)>;

  // `diskFolder` empty keeps the thumbnails in memory only.
  explicit TThumbnailCache(const QString& diskFolder, QObject* parent = nullptr);
  ~TThumbnailCache() override;

  // Queues the file unless it was asked for before. A file opened with a password is kept in
  // memory only, so its page never lands unencrypted on disk.
  void Request(const QString& path, const QString& password);
  // Forgets the file, so that it can be asked for again (with another password).
  void Forget(const QString& path);
  // The thumbnail; null while it is not rendered or when the file has none.
  QImage Thumbnail(const QString& path) const { return images_.value(path); }

  // While paused nothing new starts (the conversion has the engine to itself).
  void SetPaused(bool paused);
  bool IsBusy() const { return running_; }

  void SetRenderer(TRenderer renderer) { render_ = std::move(renderer); }

 signals:
  void ThumbnailReady(const QString& path);
  // Nothing is being rendered any more.
  void Idle();

 private:
  struct TRequest {
    QString Path;
    QString Password;
  };
  void StartNext();
  void PruneDisk();
  void Finished(const QString& path, const QString& stored, const QImage& image, bool fromDisk);
  QString KeyOf(const QString& path) const;

  QString diskFolder_;
  TRenderer render_;
  QHash<QString, QImage> images_;
  QSet<QString> known_;
  QList<TRequest> queue_;
  bool running_ = false;
  bool paused_ = false;
  QThreadPool pool_;
};

// The real renderer: the engine draws page 1 at the resolution that makes its longer side
// `side` pixels.
QImage RenderFirstPage(const QString& path, const QString& password, int side);

}  // namespace plover
