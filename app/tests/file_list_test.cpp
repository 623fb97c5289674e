// The file list: adding rows, duplicates, sizes, page counts, check boxes, reordering, menu.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMimeData>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include "app/conversion_job.h"
#include "app/gui/widgets/file_list_model.h"
#include "app/gui/widgets/file_list_view.h"
#include "app/gui/widgets/file_size_text.h"
#include "app/gui/frm_convert_image.h"
#include "gui_test_support.h"

using plover::FormatSizeText;
using plover::FrmConvertImage;
using plover::TFileListModel;

class FileListTest : public QObject {
  Q_OBJECT

 private:
  QStringList Names(const TFileListModel* model) {
    QStringList names;
    for (int r = 0; r < model->rowCount(); ++r) names << model->Row(r).Name;
    return names;
  }

 private slots:
  void SizeTexts() {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QCOMPARE(FormatSizeText(-1, english), QString());
    QCOMPARE(FormatSizeText(0, english), QString());
    // Below a kilobyte the bytes themselves.
    QCOMPARE(FormatSizeText(1, english), QString("1B"));
    QCOMPARE(FormatSizeText(44, english), QString("44B"));
    QCOMPARE(FormatSizeText(1023, english), QString("1,023B"));
    QCOMPARE(FormatSizeText(1024, english), QString("1KB"));
    QCOMPARE(FormatSizeText(2048, english), QString("2KB"));
    QCOMPARE(FormatSizeText(1048575, english), QString("1,024KB"));
    QCOMPARE(FormatSizeText(1048576, english), QString("1.0MB"));
    QCOMPARE(FormatSizeText(1572864, english), QString("1.5MB"));
    QCOMPARE(FormatSizeText(3LL * 1073741824, english), QString("3.0GB"));
    QCOMPARE(FormatSizeText(5000LL * 1073741824, english), QString("5,000.0GB"));
    // The user's locale groups and separates the digits.
    QCOMPARE(FormatSizeText(1572864, QLocale(QLocale::German, QLocale::Germany)), QString("1,5MB"));
  }

  void RowsShowNameSizePagesStatusAndFolder() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    const QString pdf = folders.WritePdf("three.pdf", 3);
    const QString broken = folders.WriteFile("broken.PDF", QByteArray(500, 'x'));
    QVERIFY(window.AddFileRow(pdf));
    QVERIFY(window.AddFileRow(broken));
    TFileListModel* model = window.FileModel();
    QCOMPARE(model->rowCount(), 2);
    const plover::TFileRow& good = model->Row(0);
    QCOMPARE(good.Name, QString("three.pdf"));
    QCOMPARE(good.Folder, folders.Files());
    QCOMPARE(good.Pages, QString("3"));
    QCOMPARE(model->StatusOf(0), QString("Ready"));
    QCOMPARE(good.Size, FormatSizeText(QFileInfo(pdf).size(), QLocale(QLocale::English, QLocale::UnitedStates)));
    QVERIFY(good.Checked);
    const plover::TFileRow& bad = model->Row(1);
    QCOMPARE(bad.Size, QString("500B"));
    QCOMPARE(bad.Pages, QString("0"));
    QCOMPARE(model->StatusOf(1), QString("Not a PDF file"));
    QCOMPARE(bad.Note, QString());
    // The columns as the list shows them; the icon comes with the name.
    QCOMPARE(model->data(model->index(0, TFileListModel::kColPath), Qt::DisplayRole).toString(), folders.Files());
    QCOMPARE(model->data(model->index(0, TFileListModel::kColPages), Qt::DisplayRole).toString(), QString("3"));
    QCOMPARE(model->data(model->index(0, TFileListModel::kColCheck), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(!model->data(model->index(0, TFileListModel::kColName), Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(window.FileList()->isColumnHidden(TFileListModel::kColNote));
    QVERIFY(window.FileList()->isColumnHidden(TFileListModel::kColSpare));
    QCOMPARE(window.FileList()->columnWidth(TFileListModel::kColCheck), 25);
    QCOMPARE(window.FileList()->columnWidth(TFileListModel::kColName), 200);
    QCOMPARE(window.FileList()->columnWidth(TFileListModel::kColStatus), 150);
  }

  // Each cause of a failed open has its status, in both languages; a password stays "(password?)".
  void OpenFailureStatusesNameTheCause() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    TFileListModel* model = window.FileModel();
    // Only "locked.pdf" opens, and only with "pw".
    model->SetPageCounter([](const std::string& path, const std::string& password, plover::TJobReport& report) {
      if (!path.ends_with("locked.pdf")) return plover::CountPages(path, password, report);
      if (password == "pw") return 2;
      report.Problem = plover::TJobProblem::WrongPassword;
      return 0;
    });
    QVERIFY(window.AddFileRow(folders.WriteFile("text.pdf", "just some words")));
    QVERIFY(window.AddFileRow(folders.Files() + "missing.pdf"));
    QVERIFY(window.AddFileRow(folders.WriteFile("cut.pdf", "%PDF-1.4 nothing else")));
    QVERIFY(window.AddFileRow(folders.WritePdf("locked.pdf", 2)));
    const QStringList english{"Not a PDF file", "File not found", "Damaged file", "Open failed(password?)"};
    for (int row = 0; row < english.size(); ++row) QCOMPARE(model->StatusOf(row), english[row]);
    QVERIFY(window.SwitchLanguage(0));
    const QStringList chinese{"不是PDF文件", "文件不存在", "文件已损坏", "打开失败(密码?)"};
    for (int row = 0; row < chinese.size(); ++row) QCOMPARE(model->StatusOf(row), chinese[row]);
    // Added again with the password, the failed row opens and keeps it.
    window.findChild<QLineEdit*>("EOldPPass")->setText("pw");
    QVERIFY(window.AddFileRow(folders.Files() + "locked.pdf"));
    QCOMPARE(model->Row(3).Password, QString("pw"));
    QCOMPARE(model->StatusOf(3), QString::fromUtf8("就绪"));
  }

  void DuplicatesAndTwoFolders() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    const QString a = folders.WritePdf("a.pdf", 1);
    const QString other = folders.WritePdf("a.pdf", 2, folders.Root() + "other/");
    window.AddFiles({a});
    window.DropFiles({a, a});
    QCOMPARE(window.FileModel()->rowCount(), 1);
    window.DropFiles({other});
    QCOMPARE(window.FileModel()->rowCount(), 2);
    QCOMPARE(window.FileModel()->Row(1).Pages, QString("2"));
    // The name's case makes another file.
    const QString upper = folders.WritePdf("A.pdf", 1);
    window.AddFiles({upper});
    QCOMPARE(window.FileModel()->rowCount(), QFileInfo(upper).fileName() == "A.pdf" ? 3 : 2);
  }

  void OnlyPdfFilesAreTaken() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    const QString text = folders.WriteFile("notes.txt", "hello");
    QDir().mkpath(folders.Files() + "folder.pdf");
    const QString upper = folders.WritePdf("UPPER.PDF", 1);
    window.DropFiles({text, folders.Files() + "folder.pdf", upper});
    QCOMPARE(Names(window.FileModel()), QStringList{"UPPER.PDF"});
    // The dialog takes only files that exist.
    window.AddFiles({folders.Files() + "missing.pdf", text});
    QCOMPARE(window.FileModel()->rowCount(), 1);
  }

  void FileManagerDrops() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QString a = folders.WritePdf("a.pdf", 1);
    const QString b = folders.WritePdf("b.pdf", 1);
    const QString text = folders.WriteFile("c.txt", "x");
    auto drop = [&](QWidget* target, const QStringList& paths) {
      QMimeData mime;
      QList<QUrl> urls;
      for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
      mime.setUrls(urls);
      const QPoint at = target->rect().center();
      QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(target, &enter);
      if (!enter.isAccepted()) return false;
      QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(target, &dropped);
      return dropped.isAccepted();
    };
    // On the overlay (the window takes it), then on the list itself.
    QVERIFY(window.IsOverlayVisible());
    QVERIFY(drop(&window, {a, text}));
    QVERIFY(!window.IsOverlayVisible());
    QCOMPARE(Names(window.FileModel()), QStringList{"a.pdf"});
    QVERIFY(drop(window.FileList()->viewport(), {b, a}));
    QCOMPARE(Names(window.FileModel()), (QStringList{"a.pdf", "b.pdf"}));
  }

  void PasswordAtAddTime() {
    const QString qpdf = QStandardPaths::findExecutable("qpdf");
    if (qpdf.isEmpty()) QSKIP("qpdf is not installed");
    guitest::TTestFolders folders;
    const QString plain = folders.WritePdf("plain.pdf", 2, folders.Root());
    const QString locked = folders.Files() + "locked.pdf";
    QCOMPARE(QProcess::execute(qpdf, {"--encrypt", "user", "owner", "128", "--use-aes=y", "--", plain, locked}), 0);
    if (plover::CountPages(QFile::encodeName(locked).toStdString(), "user") != 2)
      QSKIP("the engine does not open this encrypted file with its password yet");
    FrmConvertImage window(folders.Options());
    QVERIFY(window.AddFileRow(locked));
    QCOMPARE(window.FileModel()->Row(0).Pages, QString("0"));
    QCOMPARE(window.FileModel()->StatusOf(0), QString("Open failed(password?)"));
    window.FileModel()->Clear();
    window.findChild<QLineEdit*>("EOldPPass")->setText("  user ");
    QVERIFY(window.AddFileRow(locked));
    QCOMPARE(window.FileModel()->Row(0).Pages, QString("2"));
    QCOMPARE(window.FileModel()->StatusOf(0), QString("Ready"));
  }

  void SelectAllToggles() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    plover::TCheckHeader* header = window.FileList()->CheckHeader();
    QCOMPARE(header->Indicator(), Qt::Unchecked);
    for (const char* name : {"1.pdf", "2.pdf", "3.pdf"}) window.AddFileRow(folders.WritePdf(name, 1));
    QCOMPARE(header->Indicator(), Qt::Checked);
    TFileListModel* model = window.FileModel();
    model->setData(model->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
    QCOMPARE(header->Indicator(), Qt::PartiallyChecked);
    // The indicator's click and the menu's entry do the same.
    emit header->IndicatorClicked();
    QCOMPARE(model->CheckedCount(), 3);
    QCOMPARE(header->Indicator(), Qt::Checked);
    window.findChild<QAction*>("PN3")->trigger();
    QCOMPARE(model->CheckedCount(), 0);
    QCOMPARE(header->Indicator(), Qt::Unchecked);
    window.findChild<QAction*>("PN3")->trigger();
    QCOMPARE(model->CheckedCount(), 3);
    // A real click on the header above the check-box column.
    window.show();
    window.HideOverlay();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect section(header->sectionViewportPosition(0), 0, header->sectionSize(0), header->height());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, section.center());
    QCOMPARE(model->CheckedCount(), 0);
    QCOMPARE(header->Indicator(), Qt::Unchecked);
    model->RemoveRows({0, 1, 2});
    QCOMPARE(header->Indicator(), Qt::Unchecked);
  }

  void DraggingRowsOneAndThreeOntoFive() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    for (int i = 1; i <= 6; ++i) window.AddFileRow(folders.WritePdf(QString("%1.pdf").arg(i), 1));
    plover::TFileListView* view = window.FileList();
    TFileListModel* model = window.FileModel();
    QVERIFY(!view->CanDropRowsOn(4));  // no focused row yet
    view->setCurrentIndex(model->index(0, 1));
    view->selectionModel()->select(model->index(2, 1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(view->SelectedRows(), (QList<int>{0, 2}));
    QVERIFY(!view->CanDropRowsOn(0));  // the focused row itself
    QVERIFY(!view->CanDropRowsOn(6));  // below the last row
    QVERIFY(view->DropRowsOn(4));
    QCOMPARE(Names(model), (QStringList{"2.pdf", "4.pdf", "1.pdf", "3.pdf", "5.pdf", "6.pdf"}));
    // The moved rows stay selected.
    QCOMPARE(view->SelectedRows(), (QList<int>{2, 3}));
    // Moving onto a row in front of the selection.
    QVERIFY(view->DropRowsOn(0));
    QCOMPARE(Names(model), (QStringList{"1.pdf", "3.pdf", "2.pdf", "4.pdf", "5.pdf", "6.pdf"}));
  }

  void RemoveAndClear() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    for (int i = 1; i <= 4; ++i) window.AddFileRow(folders.WritePdf(QString("%1.pdf").arg(i), 1));
    plover::TFileListView* view = window.FileList();
    QAction* remove = window.findChild<QAction*>("ActDelete");
    remove->trigger();  // nothing selected: nothing happens
    QCOMPARE(window.FileModel()->rowCount(), 4);
    view->selectionModel()->select(window.FileModel()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->selectionModel()->select(window.FileModel()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    remove->trigger();
    QCOMPARE(Names(window.FileModel()), (QStringList{"1.pdf", "3.pdf"}));
    window.findChild<QAction*>("ActClear")->trigger();
    QCOMPARE(window.FileModel()->rowCount(), 0);
    QCOMPARE(view->CheckHeader()->Indicator(), Qt::Unchecked);
  }

  void ListMenuEnabling() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    window.show();
    window.HideOverlay();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    plover::TFileListView* view = window.FileList();
    auto action = [&](const char* name) { return window.findChild<QAction*>(name); };
    auto openMenu = [&](QPoint at) {
      emit view->MenuRequested(at);
      QMenu* menu = window.findChild<QMenu*>("PopupMenu1");
      QTRY_VERIFY(menu->isVisible());
      menu->hide();
    };
    openMenu(QPoint(10, 10));
    QVERIFY(action("PN1")->isEnabled());
    QVERIFY(!action("PN3")->isEnabled());
    QVERIFY(!action("PN5")->isEnabled());
    QVERIFY(!action("PN6")->isEnabled());
    QVERIFY(!action("PN8")->isEnabled());
    QVERIFY(!action("PN9")->isEnabled());
    QCOMPARE(action("PN1")->text(), action("ActAdd")->text());
    window.AddFileRow(folders.WritePdf("a.pdf", 1));
    window.AddFileRow(folders.WritePdf("b.pdf", 1));
    const QPoint overRow = view->visualRect(window.FileModel()->index(0, 1)).center();
    openMenu(overRow);
    QVERIFY(action("PN3")->isEnabled());
    QVERIFY(action("PN6")->isEnabled());
    QVERIFY(!action("PN5")->isEnabled());
    QVERIFY(action("PN8")->isEnabled());
    QVERIFY(action("PN9")->isEnabled());
    view->selectionModel()->select(window.FileModel()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    openMenu(QPoint(10, view->viewport()->height() - 5));
    QVERIFY(action("PN5")->isEnabled());
    QVERIFY(!action("PN8")->isEnabled());
  }

  void RightClickTakesTheRowUnderTheMouse() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    window.show();
    window.HideOverlay();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const char* name : {"a.pdf", "b.pdf", "c.pdf"}) window.AddFileRow(folders.WritePdf(name, 1));
    plover::TFileListView* view = window.FileList();
    auto at = [&](int row) { return view->visualRect(window.FileModel()->index(row, 2)).center(); };
    auto rightClick = [&](int row) {
      QTest::mousePress(view->viewport(), Qt::RightButton, {}, at(row));
      // The event the window system sends after the press, in the viewport's coordinates.
      QContextMenuEvent event(QContextMenuEvent::Mouse, at(row), view->viewport()->mapToGlobal(at(row)));
      QApplication::sendEvent(view->viewport(), &event);
      QMenu* menu = window.findChild<QMenu*>("PopupMenu1");
      QTRY_VERIFY(menu->isVisible());
      menu->hide();
    };
    // Select a, right-click b: b is the row Open and Remove act on.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at(0));
    rightClick(1);
    QCOMPARE(view->FocusedRow(), 1);
    QCOMPARE(view->SelectedRows(), QList<int>{1});
    QVERIFY(window.findChild<QAction*>("PN5")->isEnabled());
    QVERIFY(window.findChild<QAction*>("PN8")->isEnabled());
    // Inside a selection of several rows, the selection stays and the focus moves.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(2));
    rightClick(2);
    QVERIFY(window.findChild<QAction*>("PN8")->isEnabled());
    QCOMPARE(view->SelectedRows(), (QList<int>{1, 2}));
    QCOMPARE(view->FocusedRow(), 2);
    // Space ticks the focused row's box, and the selected rows' with it.
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(window.FileModel()->CheckedCount(), 1);
    QVERIFY(window.FileModel()->Row(0).Checked);
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(window.FileModel()->CheckedCount(), 3);
  }

  // A folder adds the PDF files inside it and its subfolders, by the menu or dropped.
  void FoldersAddTheirPdfFiles() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    const QString top = folders.Root() + "tree/";
    folders.WritePdf("b.pdf", 1, top);
    folders.WritePdf("a.PDF", 1, top + "sub/deeper/");
    folders.WriteFile("notes.txt", "x", top + "sub/");
    QVERIFY(QFile::link(top, top + "sub/loop"));
    QCOMPARE(window.AddFolder(top), 2);
    QCOMPARE(Names(window.FileModel()), (QStringList{"b.pdf", "a.PDF"}));
    QVERIFY(window.ResultLine().startsWith("2 PDF files added from "));
    window.DropFiles({top, folders.WritePdf("c.pdf", 1)});
    QCOMPARE(window.FileModel()->rowCount(), 3);
    QVERIFY(window.ResultLine().startsWith("0 PDF files added from "));
    // Clearing the list clears the line.
    window.findChild<QAction*>("ActClear")->trigger();
    QCOMPARE(window.ResultLine(), QString());
  }
};

QTEST_MAIN(FileListTest)
#include "file_list_test.moc"
