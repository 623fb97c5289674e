#include "app/gui/shell_services.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>

namespace plover {

void OpenUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

void OpenLocalPath(const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

void LocateFile(const QString& path) {
  const QString folder = QFileInfo(path).absolutePath();
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    OpenLocalPath(folder);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
  call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
  // Asynchronous, so that a missing file manager does not freeze the window.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000));
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [folder](QDBusPendingCallWatcher* w) {
    if (QDBusPendingReply<>(*w).isError()) OpenLocalPath(folder);
    w->deleteLater();
  });
}

}  // namespace plover
