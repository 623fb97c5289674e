#include "app/gui/widgets/file_size_text.h"

namespace plover {

QString FormatSizeText(qint64 bytes, const QLocale& locale) {
  constexpr qint64 kKilo = 1024;
  constexpr qint64 kMega = kKilo * 1024;
  constexpr qint64 kGiga = kMega * 1024;
  if (bytes <= 0) return QString();
  // Small files show their bytes: "1KB" for 44 bytes would overstate them.
  if (bytes < kKilo) return locale.toString(bytes) + QStringLiteral("B");
  if (bytes < kMega) return locale.toString(static_cast<double>(bytes) / kKilo, 'f', 0) + QStringLiteral("KB");
  if (bytes < kGiga) return locale.toString(static_cast<double>(bytes) / kMega, 'f', 1) + QStringLiteral("MB");
  return locale.toString(static_cast<double>(bytes) / kGiga, 'f', 1) + QStringLiteral("GB");
}

}  // namespace plover
