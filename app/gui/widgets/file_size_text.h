#pragma once
#include <QLocale>
#include <QString>

namespace plover {

// Size text of the file list: empty for 0 or less (also a missing file), "1KB" below 1024, then
// whole KB, MB and GB with one decimal, digits grouped in `locale`.
QString FormatSizeText(qint64 bytes, const QLocale& locale);

}  // namespace plover
