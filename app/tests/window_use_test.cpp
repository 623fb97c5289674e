// The window as people use it: statuses across languages, the password flow, keys, focus,
// resizing.
#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QToolButton>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <memory>

#include "app/gui/widgets/file_list_model.h"
#include "app/gui/widgets/file_list_view.h"
#include "app/gui/widgets/link_label.h"
#include "app/gui/widgets/path_field.h"
#include "app/gui/widgets/thumbnail_cache.h"
#include "app/gui/frm_convert_image.h"
#include "gui_test_support.h"

using plover::FrmConvertImage;
using plover::TFileListModel;

namespace {

QString Shown(FrmConvertImage& window, int row, int role = Qt::DisplayRole) {
  TFileListModel* model = window.FileModel();
  return model->data(model->index(row, TFileListModel::kColStatus), role).toString();
}

bool WaitForConversion(FrmConvertImage& window) {
  if (!window.IsConverting()) return true;
  QSignalSpy done(&window, &FrmConvertImage::ConversionFinished);
  return done.wait(60000);
}

}  // namespace

class WindowUseTest : public QObject {
  Q_OBJECT

 private slots:
  void StatusesFollowTheLanguage() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    window.AddFileRow(folders.WritePdf("a.pdf", 1));
    window.AddFileRow(folders.WriteFile("b.pdf", "not a pdf"));
    QVERIFY(window.SwitchLanguage(0));
    QCOMPARE(Shown(window, 0), QString::fromUtf8("就绪"));
    QCOMPARE(Shown(window, 1), QString::fromUtf8("不是PDF文件"));
    QCOMPARE(Shown(window, 1, Qt::ToolTipRole), QString::fromUtf8("不是PDF文件"));
    QVERIFY(window.SwitchLanguage(1));
    QCOMPARE(Shown(window, 0), QString("Ready"));
    QCOMPARE(Shown(window, 1), QString("Not a PDF file"));
    QCOMPARE(Shown(window, 1, Qt::ToolTipRole), QString("not a PDF file"));
  }

  void PasswordTypedLater() {
    const QString qpdf = QStandardPaths::findExecutable("qpdf");
    if (qpdf.isEmpty()) QSKIP("qpdf is not installed");
    guitest::TTestFolders folders;
    const QString plain = folders.WritePdf("plain.pdf", 2, folders.Root());
    const QString locked = folders.Files() + "locked.pdf";
    QCOMPARE(QProcess::execute(qpdf, {"--encrypt", "user", "owner", "256", "--", plain, locked}), 0);
    FrmConvertImage window(folders.Options());
    QVERIFY(window.AddFileRow(locked));
    QCOMPARE(Shown(window, 0, Qt::ToolTipRole), QString("wrong password"));
    auto* password = window.findChild<QLineEdit*>("EOldPPass");
    // Converted with the password typed afterwards: the row gets its page count.
    password->setText("user");
    window.Convert();
    QVERIFY(WaitForConversion(window));
    QCOMPARE(Shown(window, 0), QString("Complete"));
    QCOMPARE(window.FileModel()->Row(0).Pages, QString("2"));
    // The row keeps the password it opened with; another typed later does not replace it.
    password->setText("wrong");
    window.Convert();
    QVERIFY(WaitForConversion(window));
    QCOMPARE(Shown(window, 0), QString("Complete"));
    // Added again after a failed open, a row is retried rather than ignored.
    const QString second = folders.Files() + "second.pdf";
    QVERIFY(QFile::copy(locked, second));
    QVERIFY(window.AddFileRow(second));
    QCOMPARE(Shown(window, 1), QString("Open failed(password?)"));
    password->setText("user");
    QVERIFY(window.AddFileRow(second));
    QCOMPARE(window.FileModel()->rowCount(), 2);
    QCOMPARE(Shown(window, 1), QString("Ready"));
    QVERIFY(!window.AddFileRow(second));
  }

  void KeysRemoveAndAdd() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.HideOverlay();
    for (const char* name : {"a.pdf", "b.pdf", "c.pdf"}) window.AddFileRow(folders.WritePdf(name, 1));
    plover::TFileListView* list = window.FileList();
    list->setFocus();
    list->selectionModel()->select(window.FileModel()->index(1, 1),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(window.FileModel()->rowCount(), 2);
    QCOMPARE(window.FileModel()->Row(1).Name, QString("c.pdf"));
    list->selectionModel()->select(window.FileModel()->index(0, 1),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(list, Qt::Key_Backspace);
    QCOMPARE(window.FileModel()->rowCount(), 1);
    // Backspace in the password field edits the field.
    auto* password = window.findChild<QLineEdit*>("EOldPPass");
    password->setText("ab");
    password->setFocus();
    password->setCursorPosition(2);
    QTest::keyClick(password, Qt::Key_Backspace);
    QCOMPARE(password->text(), QString("a"));
    QCOMPARE(window.FileModel()->rowCount(), 1);
    QVERIFY(window.findChild<QAction*>("ActAdd")->shortcut().matches(QKeySequence(Qt::CTRL | Qt::Key_O)) ==
            QKeySequence::ExactMatch);
  }

  void ConvertShowsItsFocus() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* run = window.findChild<QToolButton*>("BTNRun");
    window.findChild<QLineEdit*>("EOldPPass")->setFocus();
    QTRY_VERIFY(!run->hasFocus());
    const QImage plain = run->grab().toImage();
    run->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(run->hasFocus());
    QVERIFY(run->grab().toImage() != plain);
  }

  void ResizesWithTheListTakingTheRoom() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize start = window.size();
    QCOMPARE(start.width(), 689);
    QCOMPARE(window.minimumSize(), start);
    // It fits the screen it opens on, title bar included.
    const QRect screen = window.screen()->availableGeometry();
    QVERIFY(start.height() < screen.height());
    QVERIFY(window.centralWidget()->minimumSizeHint().height() <= window.centralWidget()->height());
    QVERIFY(window.maximumWidth() > 4000);
    plover::TFileListView* list = window.FileList();
    list->show();
    const int listWidth = list->width(), pathWidth = list->columnWidth(TFileListModel::kColPath);
    window.resize(1100, 760);
    QTRY_COMPARE(window.size(), QSize(1100, 760));
    QTRY_VERIFY(list->width() > listWidth + 300);
    QVERIFY(list->columnWidth(TFileListModel::kColPath) > pathWidth + 300);
    QCOMPARE(list->columnWidth(TFileListModel::kColName), 200);
    window.resize(300, 200);
    QTRY_COMPARE(window.size(), start);
  }

  void OutputPathShowsItsStart() {
    plover::TPathField field;
    field.resize(300, field.sizeHint().height());
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    const QString path = "/home/someone/Documents/" + QString(60, 'x') + "/work/out-custom";
    field.setText(path);
    QCOMPARE(field.toolTip(), path);
    const QString shown = field.ShownText();
    QVERIFY2(shown.startsWith("/home/someone/Documents/") && shown.endsWith(QChar(0x2026)), qPrintable(shown));
  }

  void ClosingDuringARunAsks() {
    guitest::TTestFolders folders;
    auto release = std::make_shared<std::atomic<bool>>(false);
    plover::TConvertJob job = [release](const plover::TConvertTask&, const plover::TConvertSettings&,
                                        const std::function<void(int)>&, const std::atomic<bool>& cancel,
                                        plover::TJobReport&) {
      while (!release->load() && !cancel.load()) QThread::msleep(5);
      return int(plover::kJobComplete);
    };
    FrmConvertImage window(folders.Options(QLocale(QLocale::English, QLocale::UnitedStates), job));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.AddFileRow(folders.WritePdf("a.pdf", 1));
    window.Convert();
    QCOMPARE(guitest::TextOfMessageBox([&] { window.close(); }),
             QString("A conversion is running. Stop it and close the window?"));
    QVERIFY(window.isVisible());
    QVERIFY(window.IsConverting());
    guitest::TextOfMessageBox([&] { window.close(); }, QMessageBox::Yes);
    QVERIFY(!window.isVisible());
    QVERIFY(WaitForConversion(window));
  }

  // First pages are drawn in the background, shown in the row, and kept on disk unless the file
  // needed a password.
  void ThumbnailsOfFirstPages() {
    guitest::TTestFolders folders;
    const QString disk = folders.Root() + "thumbs/";
    const QString pdf = folders.WritePdf("a.pdf", 2);
    {
      plover::TThumbnailCache cache(disk);
      QSignalSpy ready(&cache, &plover::TThumbnailCache::ThumbnailReady);
      cache.Request(pdf, QString());
      cache.Request(pdf, QString());
      QVERIFY(ready.wait(20000));
      const QImage page = cache.Thumbnail(pdf);
      QVERIFY(!page.isNull());
      QVERIFY(std::max(page.width(), page.height()) <= plover::TThumbnailCache::kSide);
      QVERIFY(std::max(page.width(), page.height()) > plover::TThumbnailCache::kSide - 8);
      QCOMPARE(QDir(disk).entryList(QDir::Files).size(), 1);
      cache.SetRenderer([](const QString&, const QString&, int) { return QImage(10, 10, QImage::Format_RGB32); });
      cache.Request(folders.WritePdf("locked.pdf", 1), "secret");
      QVERIFY(ready.wait(5000));
      QCOMPARE(QDir(disk).entryList(QDir::Files).size(), 1);
    }
    // Another session takes it from disk without drawing; an edited file is drawn again.
    plover::TThumbnailCache again(disk);
    int drawn = 0;
    again.SetRenderer([&drawn](const QString&, const QString&, int) {
      ++drawn;
      return QImage(10, 10, QImage::Format_RGB32);
    });
    QSignalSpy ready(&again, &plover::TThumbnailCache::ThumbnailReady);
    again.Request(pdf, QString());
    QVERIFY(ready.wait(5000));
    QCOMPARE(drawn, 0);
    QVERIFY(again.Thumbnail(pdf).width() > 10);

    // The window shows it in place of the file icon.
    FrmConvertImage window(folders.Options());
    window.AddFileRow(pdf);
    TFileListModel* model = window.FileModel();
    const QIcon fileIcon = model->data(model->index(0, TFileListModel::kColName), Qt::DecorationRole).value<QIcon>();
    QTRY_VERIFY_WITH_TIMEOUT(model->data(model->index(0, TFileListModel::kColName), Qt::DecorationRole).value<QIcon>().cacheKey() !=
                                 fileIcon.cacheKey(),
                             20000);
    QVERIFY(model->data(model->index(0, TFileListModel::kColName), Qt::ToolTipRole).toString().startsWith("<img "));
  }

  void HelpIsTheLocalGuide() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    auto* guide = window.findChild<plover::TLinkLabel*>("LGuid");
    QVERIFY(guide->Url().isLocalFile());
    QVERIFY(QFileInfo(guide->Url().toLocalFile()).isFile());
    for (const char* name : {"ActHome", "ActUpdate"}) QVERIFY2(!window.findChild<QAction*>(name)->isVisible(), name);
  }
};

QTEST_MAIN(WindowUseTest)
#include "window_use_test.moc"
