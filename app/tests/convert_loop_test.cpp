// The Convert command: messages, output folders, progress values, statuses, cancelling.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QThread>
#include <QToolButton>
#include <QtTest>
#include <atomic>
#include <memory>

#include "app/gui/widgets/file_list_model.h"
#include "app/gui/widgets/file_list_view.h"
#include "app/gui/frm_convert_image.h"
#include "app/status_text.h"
#include "gui_test_support.h"
#include "support/pdf_builder.h"

using plover::FrmConvertImage;
using plover::TConvertSettings;
using plover::TConvertTask;

namespace {

// A stand-in job that records what it was asked, reports two progress steps and answers the
// result given for the file's name (Complete when none).
struct TRecordingJob {
  struct TCall {
    TConvertTask Task;
    TConvertSettings Settings;
  };
  std::shared_ptr<QMutex> Lock = std::make_shared<QMutex>();
  std::shared_ptr<QList<TCall>> Calls = std::make_shared<QList<TCall>>();
  std::shared_ptr<QHash<QString, int>> Results = std::make_shared<QHash<QString, int>>();

  plover::TConvertJob Job() const {
    auto lock = Lock;
    auto calls = Calls;
    auto results = Results;
    return [lock, calls, results](const TConvertTask& task, const TConvertSettings& settings,
                                  const std::function<void(int)>& progress, const std::atomic<bool>&,
                                  plover::TJobReport&) {
      {
        QMutexLocker guard(lock.get());
        calls->push_back({task, settings});
      }
      progress(50);
      progress(100);
      QMutexLocker guard(lock.get());
      return results->value(task.FileName, plover::kJobComplete);
    };
  }
  QList<TCall> Snapshot() const {
    QMutexLocker guard(Lock.get());
    return *Calls;
  }
};

QString StatusTip(FrmConvertImage& window, int row) {
  plover::TFileListModel* model = window.FileModel();
  return model->data(model->index(row, plover::TFileListModel::kColStatus), Qt::ToolTipRole).toString();
}

bool WaitForConversion(FrmConvertImage& window) {
  if (!window.IsConverting()) return true;
  QSignalSpy done(&window, &FrmConvertImage::ConversionFinished);
  return done.wait(60000);
}

}  // namespace

class ConvertLoopTest : public QObject {
  Q_OBJECT

 private slots:
  void MessagesForAnEmptyListAndNothingChecked() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    QCOMPARE(guitest::TextOfMessageBox([&] { window.Convert(); }), QString("Please add files!"));
    window.AddFileRow(folders.WritePdf("a.pdf", 1));
    window.FileModel()->SetChecked(0, false);
    QCOMPARE(guitest::TextOfMessageBox([&] { window.Convert(); }), QString("Please tick the check boxes of the files to convert!"));
    QVERIFY(!window.IsConverting());
    QVERIFY(!window.IsOverlayVisible());

    guitest::TTestFolders chineseFolders;
    FrmConvertImage chinese(chineseFolders.Options(QLocale(QLocale::Chinese, QLocale::China)));
    QCOMPARE(guitest::TextOfMessageBox([&] { chinese.Convert(); }), QString::fromUtf8("请添加文件！"));
  }

  // The overall bar goes by pages: a 1-page and a 3-page file fill a quarter and the rest.
  void ProgressByPagesAndStatusesOfTwoFiles() {
    guitest::TTestFolders folders;
    TRecordingJob job;
    job.Results->insert("b.pdf", plover::kJobFailed);
    FrmConvertImage window(folders.Options(QLocale(QLocale::English, QLocale::UnitedStates), job.Job()));
    window.AddFileRow(folders.WritePdf("a.pdf", 1));
    window.AddFileRow(folders.WritePdf("skipped.pdf", 1));
    window.AddFileRow(folders.WritePdf("b.pdf", 3));
    window.FileModel()->SetChecked(1, false);

    auto* overall = window.findChild<QProgressBar*>("PbrPreview");
    auto* panel = window.findChild<QWidget*>("PanelProcess");
    auto* run = window.findChild<QToolButton*>("BTNRun");
    QList<int> values;
    QStringList statuses;
    connect(overall, &QProgressBar::valueChanged, this, [&](int v) {
      values << v;
      statuses << window.FileModel()->StatusOf(0) + "/" + window.FileModel()->StatusOf(2);
    });
    window.Convert();
    QVERIFY(window.IsConverting());
    QVERIFY(!panel->isHidden());
    QVERIFY(!run->isEnabled());
    QVERIFY(WaitForConversion(window));
    // The stand-in job reports 50% and 100% of each file.
    QCOMPARE(values, (QList<int>{12, 25, 62, 100, 0}));
    QCOMPARE(statuses.value(0), QString("Processing/Ready"));
    QCOMPARE(statuses.value(2), QString("Complete/Processing"));
    QVERIFY(panel->isHidden());
    QVERIFY(run->isEnabled());
    QCOMPARE(window.FileModel()->StatusOf(0), QString("Complete"));
    QCOMPARE(window.FileModel()->StatusOf(1), QString("Ready"));
    QCOMPARE(window.FileModel()->StatusOf(2), QString("Failed"));
    QCOMPARE(window.ResultLine(), QString("1 converted, 1 failed"));
    const QList<TRecordingJob::TCall> calls = job.Snapshot();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].Task.FileName, QString("a.pdf"));
    QCOMPARE(calls[1].Task.FileName, QString("b.pdf"));
  }

  // Each row converts with the password it opened with; one not opened yet takes the field's.
  void PasswordsPerRow() {
    guitest::TTestFolders folders;
    TRecordingJob job;
    FrmConvertImage window(folders.Options(QLocale(QLocale::English, QLocale::UnitedStates), job.Job()));
    window.FileModel()->SetPageCounter([](const std::string& path, const std::string& password, plover::TJobReport&) {
      return (path.ends_with("/a.pdf") && password == "baz") || (path.ends_with("/b.pdf") && password == "1234") ? 1 : 0;
    });
    auto* field = window.findChild<QLineEdit*>("EOldPPass");
    field->setText("baz");
    window.AddFileRow(folders.WritePdf("a.pdf", 1));
    field->setText("1234");
    window.AddFileRow(folders.WritePdf("b.pdf", 1));
    field->setText("");
    window.AddFileRow(folders.WritePdf("c.pdf", 1));
    QCOMPARE(window.FileModel()->StatusOf(0), QString("Ready"));
    QCOMPARE(window.FileModel()->StatusOf(1), QString("Ready"));
    field->setText("typed later");
    window.Convert();
    QVERIFY(WaitForConversion(window));
    const QList<TRecordingJob::TCall> calls = job.Snapshot();
    QCOMPARE(calls.size(), 3);
    QCOMPARE(calls[0].Task.Password, QString("baz"));
    QCOMPARE(calls[1].Task.Password, QString("1234"));
    QCOMPARE(calls[2].Task.Password, QString("typed later"));
    // c.pdf opened during the run: it keeps that password from now on.
    QCOMPARE(window.FileModel()->Row(2).Password, QString("typed later"));
  }

  void SettingsReachTheJob() {
    guitest::TTestFolders folders;
    TRecordingJob job;
    FrmConvertImage window(folders.Options(QLocale(QLocale::English, QLocale::UnitedStates), job.Job()));
    window.findChild<QLineEdit*>("EOldPPass")->setText("  secret ");
    window.findChild<QComboBox*>("CBFormat")->setCurrentIndex(5);
    window.findChild<QComboBox*>("CBQuality")->setCurrentIndex(7);
    window.findChild<QLineEdit*>("EPages")->setText("3-4,1");
    window.findChild<QSpinBox*>("SEJpegQuality")->setValue(90);
    window.AddFileRow(folders.WritePdf("report.final.pdf", 5));
    window.Convert();
    QVERIFY(WaitForConversion(window));
    QList<TRecordingJob::TCall> calls = job.Snapshot();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].Task.Password, QString("secret"));
    QCOMPARE(calls[0].Settings.FormatIndex, 5);
    QCOMPARE(calls[0].Settings.ScaleIndex, 7);
    QCOMPARE(calls[0].Settings.Dpi, 192);
    QCOMPARE(calls[0].Settings.JpegQuality, 90);
    QCOMPARE(calls[0].Settings.Pages, (std::vector<plover::TPageRange>{{1, 1}, {3, 4}}));
    QCOMPARE(calls[0].Task.SourceFolder, folders.Files());
    // Beside the source, named after it without the last extension.
    QCOMPARE(calls[0].Task.OutputFolder, folders.Files() + "report.final/");

    // A resolution between the scale's steps leaves the scale list blank.
    window.findChild<QSpinBox*>("SEDpi")->setValue(150);
    QCOMPARE(window.findChild<QComboBox*>("CBQuality")->currentIndex(), -1);
    // Pages that cannot be read stop the run with a message.
    window.findChild<QLineEdit*>("EPages")->setText("2-x");
    QVERIFY(guitest::TextOfMessageBox([&] { window.Convert(); }).contains("\"2-x\""));
    QVERIFY(!window.IsConverting());
    window.findChild<QLineEdit*>("EPages")->clear();
    window.Convert();
    QVERIFY(WaitForConversion(window));
    calls = job.Snapshot();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[1].Settings.Dpi, 150);
    QVERIFY(calls[1].Settings.Pages.empty());

    // The choices come back in the next session, the output choice with them.
    window.findChild<QRadioButton*>("RBCustom")->click();
    FrmConvertImage next(folders.Options(QLocale(QLocale::English, QLocale::UnitedStates), job.Job()));
    QCOMPARE(next.findChild<QComboBox*>("CBFormat")->currentIndex(), 5);
    QCOMPARE(next.findChild<QSpinBox*>("SEDpi")->value(), 150);
    QVERIFY(next.findChild<QRadioButton*>("RBCustom")->isChecked());
  }

  void CustomOutputFolderWithoutSeparator() {
    guitest::TTestFolders folders;
    TRecordingJob job;
    const QString out = folders.Root() + "out";
    QDir().mkpath(out);
    // The stored folder appears in EPath, with the output choice stored.
    QFile ini(folders.Config() + "plover.ini");
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(("[set]\r\nY=1\r\nP=" + out + "\r\nC=1\r\n").toUtf8());
    ini.close();
    FrmConvertImage window(folders.Options(QLocale(QLocale::English, QLocale::UnitedStates), job.Job()));
    QCOMPARE(window.findChild<QLineEdit*>("EPath")->text(), out);
    QVERIFY(window.findChild<QRadioButton*>("RBCustom")->isChecked());
    window.AddFileRow(folders.WritePdf("a.pdf", 1));
    window.Convert();
    QVERIFY(WaitForConversion(window));
    QCOMPARE(job.Snapshot().value(0).Task.OutputFolder, out + "/a/");
  }

  void ListCommandsAreOffWhileConverting() {
    guitest::TTestFolders folders;
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto started = std::make_shared<std::atomic<bool>>(false);
    plover::TConvertJob job = [release, started](const TConvertTask&, const TConvertSettings&,
                                                  const std::function<void(int)>&, const std::atomic<bool>&,
                                                  plover::TJobReport&) {
      started->store(true);
      for (int i = 0; i < 6000 && !release->load(); ++i) QThread::msleep(10);
      return int(plover::kJobComplete);
    };
    FrmConvertImage window(folders.Options(QLocale(QLocale::English, QLocale::UnitedStates), job));
    window.AddFileRow(folders.WritePdf("a.pdf", 1));
    const QString later = folders.WritePdf("later.pdf", 1);
    window.Convert();
    QTRY_VERIFY(started->load());
    for (const char* name : {"ActAdd", "ActDelete", "ActClear", "ActRun"})
      QVERIFY2(!window.findChild<QAction*>(name)->isEnabled(), name);
    QVERIFY(!window.FileList()->ChangesEnabled());
    QVERIFY(!window.findChild<QWidget*>("OptionGrpBox")->isEnabled());
    window.DropFiles({later});
    window.AddFiles({later});
    window.findChild<QAction*>("ActClear")->trigger();
    QCOMPARE(window.FileModel()->rowCount(), 1);
    window.FileList()->setCurrentIndex(window.FileModel()->index(0, 1));
    QVERIFY(!window.FileList()->CanDropRowsOn(0));
    release->store(true);
    QVERIFY(WaitForConversion(window));
    QCOMPARE(window.FileModel()->StatusOf(0), QString("Complete"));
    for (const char* name : {"ActAdd", "ActDelete", "ActClear", "ActRun"})
      QVERIFY2(window.findChild<QAction*>(name)->isEnabled(), name);
    window.DropFiles({later});
    QCOMPARE(window.FileModel()->rowCount(), 2);
  }

  void CancelStopsAfterTheCurrentFile() {
    guitest::TTestFolders folders;
    auto started = std::make_shared<std::atomic<int>>(0);
    plover::TConvertJob job = [started](const TConvertTask&, const TConvertSettings&,
                                        const std::function<void(int)>& progress, const std::atomic<bool>& cancel,
                                        plover::TJobReport& report) {
      started->fetch_add(1);
      // Pages go on until the cancel flag is seen between two of them.
      for (int page = 0; page < 6000; ++page) {
        if (cancel.load()) {
          report.Problem = plover::TJobProblem::Cancelled;
          report.Reason = "cancelled after page " + std::to_string(page);
          return int(plover::kJobFailed);
        }
        progress(page % 100);
        QThread::msleep(10);
      }
      return int(plover::kJobComplete);
    };
    FrmConvertImage window(folders.Options(QLocale(QLocale::English, QLocale::UnitedStates), job));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const char* name : {"1.pdf", "2.pdf", "3.pdf"}) window.AddFileRow(folders.WritePdf(name, 1));
    window.Convert();
    QTRY_COMPARE(started->load(), 1);
    auto* cancel = window.findChild<QPushButton*>("BTNCancel");
    QVERIFY(cancel->isVisible());
    QVERIFY(cancel->isEnabled());
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(!cancel->isEnabled());
    QVERIFY(WaitForConversion(window));
    QCOMPARE(started->load(), 1);
    QCOMPARE(window.FileModel()->StatusOf(0), QString("Cancelled"));
    QCOMPARE(window.FileModel()->StatusOf(1), QString("Skipped"));
    QCOMPARE(window.FileModel()->StatusOf(2), QString("Skipped"));
    QCOMPARE(window.ResultLine(), QString("0 converted, 1 cancelled, 2 skipped"));

    // The next run starts every row afresh: no status or tool tip of the last run stays.
    window.Convert();
    QTRY_COMPARE(started->load(), 2);
    QTRY_COMPARE(window.FileModel()->StatusOf(0), QString("Processing"));
    QCOMPARE(window.FileModel()->StatusOf(1), QString("Ready"));
    QCOMPARE(StatusTip(window, 0), QString());
    // Escape asks first; the answer Yes cancels.
    QCOMPARE(guitest::TextOfMessageBox([&] { QTest::keyClick(&window, Qt::Key_Escape); }),
             QString("Stop the conversion after the current page?"));
    QVERIFY(window.IsConverting());
    guitest::TextOfMessageBox([&] { window.AskToCancel(); }, QMessageBox::Yes);
    QVERIFY(WaitForConversion(window));
    QCOMPARE(window.FileModel()->StatusOf(0), QString("Cancelled"));
  }

  void RealJobWritesPagesAndReportsOpenFailures() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    window.findChild<QComboBox*>("CBFormat")->setCurrentIndex(5);  // PNG
    window.findChild<QComboBox*>("CBQuality")->setCurrentIndex(0);  // 25%
    window.AddFileRow(folders.WritePdf("two.pdf", 2));
    window.AddFileRow(folders.WriteFile("broken.pdf", "%PDF-1.4 nothing else"));
    window.Convert();
    QVERIFY(WaitForConversion(window));
    QCOMPARE(window.FileModel()->StatusOf(0), QString("Complete"));
    QVERIFY(QFileInfo(folders.Files() + "two/1.PNG").size() > 0);
    QVERIFY(QFileInfo(folders.Files() + "two/2.PNG").size() > 0);
    QVERIFY(!QFileInfo::exists(folders.Files() + "two/3.PNG"));
    QCOMPARE(window.FileModel()->StatusOf(1), QString("Damaged file"));
    // Nothing is made for a file that produced no page; the row says why, the line sums up.
    QVERIFY(!QFileInfo::exists(folders.Files() + "broken"));
    const QString why = StatusTip(window, 1);
    QVERIFY2(why.startsWith("damaged file: "), qPrintable(why));
    QVERIFY(StatusTip(window, 0).contains(folders.Files() + "two/"));
    QCOMPARE(window.ResultLine(), QString("1 converted, 1 failed"));
    QCOMPARE(window.LastOutputFolder(), folders.Files() + "two/");
    QVERIFY(window.findChild<QPushButton*>("BTNOpenResult")->isEnabled());
  }

  void PartlyDrawnFileCompletesWithAWarningSign() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 50 50] /Contents 9 0 R >>");
    b.TrailerEntries("/Root 1 0 R");
    const std::string holed = b.Build();
    window.AddFileRow(folders.WriteFile("holed.pdf", QByteArray(holed.data(), static_cast<qsizetype>(holed.size()))));
    window.AddFileRow(folders.WritePdf("sound.pdf", 1));
    window.Convert();
    QVERIFY(WaitForConversion(window));
    plover::TFileListModel* model = window.FileModel();
    auto sign = [&](int row) {
      return model->data(model->index(row, plover::TFileListModel::kColStatus), Qt::DecorationRole);
    };
    QCOMPARE(model->StatusOf(0), QString("Complete"));
    QVERIFY2(StatusTip(window, 0).contains("page 1: object 9 0 R not found"), qPrintable(StatusTip(window, 0)));
    QVERIFY(sign(0).isValid());
    QCOMPARE(model->StatusOf(1), QString("Complete"));
    QVERIFY(!sign(1).isValid());
  }

  void SameNamesGetTheirOwnFolders() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options());
    const QString out = folders.Root() + "out";
    QDir().mkpath(out);
    window.findChild<QLineEdit*>("EPath")->setText(out);
    window.findChild<QRadioButton*>("RBCustom")->setChecked(true);
    window.findChild<QComboBox*>("CBFormat")->setCurrentIndex(5);
    window.findChild<QComboBox*>("CBQuality")->setCurrentIndex(0);
    window.AddFileRow(folders.WritePdf("report.pdf", 3));
    window.AddFileRow(folders.WritePdf("report.pdf", 1, folders.Root() + "other/"));
    window.Convert();
    QVERIFY(WaitForConversion(window));
    QVERIFY(QFileInfo::exists(out + "/report/3.PNG"));
    QVERIFY(QFileInfo::exists(out + "/report (2)/1.PNG"));
    QVERIFY(!QFileInfo::exists(out + "/report (2)/2.PNG"));
    QVERIFY(StatusTip(window, 1).contains(out + "/report (2)/"));
    QCOMPARE(window.ResultLine(), QString("2 converted"));
    // The button opens the folder that holds both, not the last file's.
    QCOMPARE(window.LastOutputFolder(), out + "/");

    // Another run into a folder holding pages of this one (PNG) asks first; No stops it.
    window.findChild<QComboBox*>("CBFormat")->setCurrentIndex(1);
    QVERIFY(guitest::TextOfMessageBox([&] { window.Convert(); }).contains("(such as "));
    QVERIFY(!window.IsConverting());
    guitest::TextOfMessageBox([&] { window.Convert(); }, QMessageBox::Yes);
    QVERIFY(WaitForConversion(window));
    QVERIFY(QFileInfo::exists(out + "/report/3.JPEG"));
  }

  void StatusesFollowTheLanguageAtTheEnd() {
    guitest::TTestFolders folders;
    TRecordingJob job;
    FrmConvertImage window(folders.Options(QLocale(QLocale::English, QLocale::UnitedStates), job.Job()));
    window.AddFileRow(folders.WritePdf("a.pdf", 1));
    QVERIFY(window.SwitchLanguage(0));
    window.Convert();
    QVERIFY(WaitForConversion(window));
    QCOMPARE(window.FileModel()->StatusOf(0), QString::fromStdString(plover::StatusText(0, plover::kJobComplete)));
  }
};

QTEST_MAIN(ConvertLoopTest)
#include "convert_loop_test.moc"
