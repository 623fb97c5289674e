// plover: the desktop window. Files named on the command line are listed as if dropped;
// --convert starts converting them at once.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include "app/gui/frm_convert_image.h"
#include "app/page_file.h"
#include "app/gui/product_info.h"
#include "app/gui/theme.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  plover::RemovePartFilesOnSignals();
  QApplication::setApplicationName(QStringLiteral("plover"));
  QApplication::setApplicationVersion(QString::fromLatin1(plover::kVersionText));
  plover::SetUpIconTheme();
  // Installed, the desktop entry and the icon theme carry the program's own icon; run from the
  // build folder it falls back to a generic picture icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.plover.Plover"));
  QApplication::setWindowIcon(
      QIcon::fromTheme(QStringLiteral("plover"), plover::ThemeIcon("image-x-generic", QStyle::SP_FileIcon)));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Plover PDF to Image: turns the pages of PDF files into images."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption convert(QStringLiteral("convert"), QStringLiteral("Convert the listed files at once."));
  parser.addOption(convert);
  parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("PDF files to list."), QStringLiteral("[FILE.pdf...]"));
  parser.process(app);

  plover::FrmConvertImage window;
  window.show();
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) {
    QStringList absolute;
    for (const QString& file : files) absolute.push_back(QFileInfo(file).absoluteFilePath());
    window.DropFiles(absolute);
    if (parser.isSet(convert)) QTimer::singleShot(0, &window, [&window] { window.Convert(); });
  }
  return app.exec();
}
