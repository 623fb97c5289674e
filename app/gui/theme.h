#pragma once
// Colours, style sheet and icons of the window.
#include <QColor>
#include <QIcon>
#include <QString>
#include <QStyle>

namespace plover {

inline const QColor kToolbarStart(255, 239, 223);
inline const QColor kToolbarStop(95, 124, 5);
inline const QColor kToolSelectStart(180, 224, 245);
inline const QColor kToolSelectStop(128, 0, 64);
inline const QColor kToolSelectFrame(192, 192, 192);
inline const QColor kConvertButton(95, 124, 5);

// Uses the desktop's icon theme with Tango behind it for anything the theme lacks.
void SetUpIconTheme();

// The themed icon `name`, else the style's `fallback`.
QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback);

// Style sheet of the main window: toolbar gradient, tool button selection, Convert button.
QString MainWindowStyleSheet();

}  // namespace plover
