// plover: the desktop window. Files named on the command line are listed as if dropped (a
// folder adds the PDF files inside it); --convert starts converting them at once.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include "app/gui/frm_convert_image.h"
#include "app/gui/product_info.h"
#include "app/gui/theme.h"
#include "app/page_file.h"
#include "app/parallel_convert.h"

namespace {

void DescribeOptions(QCommandLineParser& parser, const QCommandLineOption& convert) {
  parser.setApplicationDescription(QStringLiteral("Plover PDF to Image: turns the pages of PDF files into images."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(convert);
  parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("PDF files or folders to list."),
                               QStringLiteral("[FILE.pdf|FOLDER...]"));
}

// --help and --version answer without a display: they need no window system.
bool AsksForText(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    const QByteArray arg(argv[i]);
    if (arg == "--") return false;
    if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all" || arg == "-v" || arg == "--version")
      return true;
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  const QCommandLineOption convert(QStringLiteral("convert"), QStringLiteral("Convert the listed files at once."));
  if (AsksForText(argc, argv)) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plover"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(plover::kVersionText));
    QCommandLineParser parser;
    DescribeOptions(parser, convert);
    parser.process(app);  // prints and exits
    return 0;
  }

  QApplication app(argc, argv);
  plover::RemovePartFilesOnSignals();
  plover::ReusePageMemory();
  QApplication::setApplicationName(QStringLiteral("plover"));
  QApplication::setApplicationVersion(QString::fromLatin1(plover::kVersionText));
  plover::SetUpIconTheme();
  // Installed, the desktop entry and the icon theme carry the program's own icon; run from the
  // build folder it falls back to a generic picture icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.plover.Plover"));
  QApplication::setWindowIcon(
      QIcon::fromTheme(QStringLiteral("plover"), plover::ThemeIcon("image-x-generic", QStyle::SP_FileIcon)));

  QCommandLineParser parser;
  DescribeOptions(parser, convert);
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
