#pragma once
// Desktop services: web addresses, files and folders opened with their default applications.
#include <QString>
#include <QUrl>

namespace plover {

void OpenUrl(const QUrl& url);
// Opens a file or folder with the application the desktop associates with it.
void OpenLocalPath(const QString& path);
// Asks the file manager to show `path` selected; opens its folder when no file manager answers.
void LocateFile(const QString& path);

}  // namespace plover
