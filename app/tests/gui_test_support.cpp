#include "gui_test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include "app/gui/widgets/link_label.h"
#include "support/pdf_builder.h"

namespace guitest {

TTestFolders::TTestFolders() {
  QDir(dir_.path()).mkpath("config");
  QDir(dir_.path()).mkpath("files");
}

plover::FrmConvertImage::TStartOptions TTestFolders::Options(const QLocale& locale, plover::TConvertJob job) const {
  plover::FrmConvertImage::TStartOptions options;
  options.ConfigFolder = Config();
  options.CacheFolder = Root() + "cache/";
  options.Locale = locale;
  options.Job = std::move(job);
  return options;
}

QString TTestFolders::WriteFile(const QString& name, const QByteArray& bytes, const QString& folder) const {
  const QString dir = folder.isEmpty() ? Files() : folder;
  QDir().mkpath(dir);
  const QString path = QDir(dir).filePath(name);
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
  return path;
}

QString TTestFolders::WritePdf(const QString& name, int pages, const QString& folder) const {
  const std::string pdf = testpdf::SimpleDocument(pages, "0 0 1 rg 10 10 50 50 re f");
  return WriteFile(name, QByteArray(pdf.data(), static_cast<qsizetype>(pdf.size())), folder);
}

QString TextOfMessageBox(const std::function<void()>& action, QMessageBox::StandardButton answer) {
  QString text;
  bool seen = false;
  // The box runs its own event loop; this timer fires inside it.
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      text = box->text();
      seen = true;
      if (QAbstractButton* button = box->button(answer)) button->click();
      else box->accept();
    }
  });
  poll.start();
  action();
  poll.stop();
  return seen ? text : QString();
}

QString TextOf(QWidget* window, const char* name) {
  QObject* object = window->findChild<QObject*>(QString::fromLatin1(name));
  if (auto* link = qobject_cast<plover::TLinkLabel*>(object)) return link->Caption();
  if (auto* action = qobject_cast<QAction*>(object)) return action->text();
  if (auto* label = qobject_cast<QLabel*>(object)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(object)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(object)) return group->title();
  if (auto* menu = qobject_cast<QMenu*>(object)) return menu->title();
  return QStringLiteral("<no component %1>").arg(QString::fromLatin1(name));
}

}  // namespace guitest
