// The window as people use it: statuses across languages, the password flow, keys, focus,
// resizing.
#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QToolButton>
#include <QtTest>

#include "app/gui/widgets/file_list_model.h"
#include "app/gui/widgets/file_list_view.h"
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
    QCOMPARE(Shown(window, 1), QString::fromUtf8("打开失败(密码?)"));
    QCOMPARE(Shown(window, 1, Qt::ToolTipRole), QString::fromUtf8("不是PDF文件"));
    QVERIFY(window.SwitchLanguage(1));
    QCOMPARE(Shown(window, 0), QString("Ready"));
    QCOMPARE(Shown(window, 1), QString("Open failed(password?)"));
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
    // Added again after a failed open, the row is retried rather than ignored.
    password->setText("wrong");
    window.Convert();
    QVERIFY(WaitForConversion(window));
    QCOMPARE(Shown(window, 0), QString("Open failed(password?)"));
    password->setText("user");
    QVERIFY(window.AddFileRow(locked));
    QCOMPARE(window.FileModel()->rowCount(), 1);
    QCOMPARE(Shown(window, 0), QString("Ready"));
    QVERIFY(!window.AddFileRow(locked));
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
};

QTEST_MAIN(WindowUseTest)
#include "window_use_test.moc"
