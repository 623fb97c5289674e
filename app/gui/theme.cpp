#include "app/gui/theme.h"

#include <QApplication>
#include <QDir>

namespace plover {

namespace {

QString Rgb(const QColor& c) { return QStringLiteral("rgb(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue()); }

}  // namespace

void SetUpIconTheme() {
  QIcon::setFallbackThemeName(QStringLiteral("Tango"));
  const QString current = QIcon::themeName();
  if (current.isEmpty() || current == QLatin1String("hicolor")) QIcon::setThemeName(QStringLiteral("Tango"));
}

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
  QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
  if (!icon.isNull()) return icon;
  return QApplication::style()->standardIcon(fallback);
}

QString MainWindowStyleSheet() {
  return QStringLiteral(
             "QToolBar#ToolBar1 { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 %1, stop:1 %2);"
             " border: none; padding: 2px; spacing: 2px; }"
             "QToolBar#ToolBar1 QToolButton { border: 1px solid transparent; border-radius: 3px; padding: 2px 6px;"
             " color: black; min-width: 64px; }"
             "QToolBar#ToolBar1 QToolButton:hover, QToolBar#ToolBar1 QToolButton:pressed {"
             " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %3, stop:1 %4);"
             " border: 1px solid %5; color: white; }"
             "QToolBar#ToolBar1 QToolButton:disabled { color: rgb(120, 120, 120); }"
             "QLabel#LGuid { color: white; padding-right: 8px; }"
             "QToolButton#BTNRun { background: %6; color: white; font-weight: bold; font-size: 15px;"
             " border: 1px solid rgb(60, 80, 3); border-radius: 5px; padding: 6px 14px; }"
             "QToolButton#BTNRun:focus { border: 2px solid rgb(255, 196, 0); padding: 5px 13px; }"
             "QToolButton#BTNRun:hover { background: rgb(110, 143, 8); }"
             "QToolButton#BTNRun:pressed { background: rgb(75, 99, 4); }"
             "QToolButton#BTNRun:disabled { background: rgb(160, 170, 140); color: rgb(235, 235, 235); }")
      .arg(Rgb(kToolbarStart), Rgb(kToolbarStop), Rgb(kToolSelectStart), Rgb(kToolSelectStop),
           Rgb(kToolSelectFrame), Rgb(kConvertButton));
}

}  // namespace plover
