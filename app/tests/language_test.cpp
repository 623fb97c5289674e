// Interface languages: first start, texts on the controls, switching, edited files, settings,
// the About window and the "Getting Started" overlay.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "app/gui/widgets/file_list_model.h"
#include "app/gui/widgets/file_list_view.h"
#include "app/gui/frm_about.h"
#include "app/gui/frm_convert_image.h"
#include "app/gui/language_apply.h"
#include "app/ini_file.h"
#include "app/language_files.h"
#include "app/text_encoding.h"
#include "gui_test_support.h"

using guitest::TextOf;
using plover::FrmConvertImage;

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kChinese(QLocale::Chinese, QLocale::China);

QString Header(FrmConvertImage& window, int column) {
  return window.FileModel()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

plover::TIniFile ReadIni(const QString& path) {
  return plover::TIniFile::Load(QFile::encodeName(path).toStdString()).value_or(plover::TIniFile());
}

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

// Runs `action`, which opens the About window, and returns texts of its components.
QStringList AboutTexts(const std::function<void()>& action) {
  QStringList texts;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* about = qobject_cast<plover::FrmAbout*>(QApplication::activeModalWidget());
    if (!about) return;
    texts = QStringList{about->windowTitle(), TextOf(about, "LabHome"), TextOf(about, "LabMail"),
                        TextOf(about, "BTNClose"), TextOf(about, "LabVer"), TextOf(about, "LabSoftName"),
                        TextOf(about, "RzURLLabel1"),
                        about->findChild<QWidget*>("RzURLLabel4")->isVisibleTo(about) ? "shown" : "hidden"};
    about->accept();
  });
  poll.start();
  action();
  return texts;
}

}  // namespace

class LanguageTest : public QObject {
  Q_OBJECT

 private slots:
  void LocalesChooseTheLanguage() {
    QCOMPARE(plover::LanguageFromLocale(kChinese), 0);
    QCOMPARE(plover::LanguageFromLocale(QLocale(QLocale::Chinese, QLocale::Taiwan)), 0);
    QCOMPARE(plover::LanguageFromLocale(QLocale(QLocale::Chinese, QLocale::HongKong)), 0);
    QCOMPARE(plover::LanguageFromLocale(QLocale(QLocale::Chinese, QLocale::Singapore)), 0);
    QCOMPARE(plover::LanguageFromLocale(QLocale(QLocale::Chinese, QLocale::Macau)), 1);
    QCOMPARE(plover::LanguageFromLocale(kEnglish), 1);
    QCOMPARE(plover::LanguageFromLocale(QLocale(QLocale::French, QLocale::France)), 1);
    QCOMPARE(plover::LanguageFromLocale(QLocale::c()), 1);
  }

  void FirstStartInEnglishWritesTheFiles() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options(kEnglish));
    const QString folder = window.LanguageFolder();
    QCOMPARE(folder, folders.Config() + "Language6/");
    QCOMPARE(ReadBytes(folder + "en-us.dyy"), QByteArray::fromStdString(plover::LanguageFileBytes(1)));
    QCOMPARE(ReadBytes(folder + "zh-cn.dyy"), QByteArray::fromStdString(plover::LanguageFileBytes(0)));
    QCOMPARE(window.Language(), 1);
    QCOMPARE(window.windowTitle(), QString("Plover PDF to Image 3.6.1"));
    QCOMPARE(window.AppTitle(), QString("Plover PDF to Image"));
    QVERIFY(window.findChild<QMenu*>("ML")->menuAction()->isVisible());
    QVERIFY(window.findChild<QAction*>("English1")->isChecked());
    QVERIFY(!window.findChild<QAction*>("SimplifiedChinese1")->isChecked());
    // Settings are written when they change, not at start.
    QVERIFY(!QFileInfo::exists(window.SettingsPath()));

    const QList<QPair<const char*, QString>> expected = {
        {"ActAdd", "Add Files"},
        {"ActDelete", "Remove"},
        {"ActClear", "Clear"},
        {"ActHelp", "Help"},
        {"ActHome", "Home"},
        {"ActUpdate", "Updated"},
        {"ActAbout", "About"},
        {"ActRun", "Convert"},
        {"BTNRun", "Convert"},
        {"M1", "File"},
        {"M2", "Help"},
        {"ML", "Language"},
        {"PN3", "Select/Unselect All"},
        {"PN8", "Open"},
        {"PN9", "Locate"},
        {"RBsame", "With the source file in the same path"},
        {"RBCustom", "Specify the path"},
        {"FileGrpList", "File list (pop-up menu, multi-select, drag and drop sorting)"},
        {"OptionGrpBox", "Setting"},
        {"GBOutPut", "Output (each PDF file is a folder)"},
        {"GBProcess", "Processing ..."},
        {"GBOPass", "Open Password"},
        {"GBNPass", "Conversion settings"},
        {"LabTotalProcess", "Progress:"},
        {"LabCurFile", "The current file:"},
        {"LabNewOPass", "Image Format:"},
        {"LabNewPPass", "Image output ratio:"},
        {"Label1", "Enter it before adding files"},
        {"LGuid", "Operations Guide"},
        {"RzLabelFW", "Freeware"},
        {"RzLabelTitle", "Getting Started"},
        {"RzLabel11", "1. Click"},
        {"RzLabel12", "Add PDF file(s)."},
        {"RzLabel21", "2. Conversion settings (Image Format, Image output ratio)."},
        {"RzLabel31", "3. Click"},
        {"RzLabel32", "Convert."},
        {"LabSoftName", "Plover PDF to Image"},
        {"BTNCancel", "Cancel"},
        {"ActAddFolder", "Add Folder"},
        {"LabDpi", "DPI:"},
        {"LabPages", "Pages:"},
    };
    for (const auto& [name, text] : expected) QCOMPARE(TextOf(&window, name), text);
    QCOMPARE(window.findChild<QAction*>("ActDelete")->toolTip(), QString("Removed from the list of selected files"));
    QCOMPARE(window.findChild<QAction*>("ActClear")->toolTip(), QString("Empty the list of files"));
    // An action without a hint shows its caption, in the current language.
    QCOMPARE(window.findChild<QAction*>("ActAdd")->toolTip(), QString("Add Files"));
    QCOMPARE(window.findChild<QToolButton*>("BTNSelect")->toolTip(), QString("Select the output path"));
    QCOMPARE(window.findChild<QToolButton*>("BTNOpen")->toolTip(), QString("Open the output folder"));
    QCOMPARE(window.findChild<QToolButton*>("BTNHint2")->toolTip(),
             QString("If a PDF file needs a password, enter it here before you add the file; each file keeps the "
                     "password it opened with. Convert tries it on files that have not opened yet."));
    QCOMPARE(window.findChild<QWidget*>("PassPanel")->toolTip(), QString("Click \"Show / Hide\" open password input box"));
    const QStringList columns{"File name", "Size", "Pages", "Status", "Path", "Note"};
    for (int i = 1; i <= 6; ++i) QCOMPARE(Header(window, i), columns[i - 1]);
    QCOMPARE(window.Message(2), QString("Please add files!"));
    QCOMPARE(window.Message(3), QString("Please tick the check boxes of the files to convert!"));
    QCOMPARE(window.Message(4), QString::fromUtf8("Old and new password are empty, the operation does not have any necessary！"));
  }

  void FirstStartInChineseKeepsTheBuiltInTexts() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options(kChinese));
    QCOMPARE(window.Language(), 0);
    QVERIFY(!QFileInfo::exists(window.LanguageFolder()));
    QVERIFY(!window.findChild<QMenu*>("ML")->menuAction()->isVisible());
    QCOMPARE(window.windowTitle(), QString::fromUtf8("Plover PDF转图片 3.6.1"));
    QCOMPARE(TextOf(&window, "ActRun"), QString::fromUtf8("转换"));
    QCOMPARE(TextOf(&window, "ActHelp"), QString::fromUtf8("帮  助"));
    QCOMPARE(TextOf(&window, "M1"), QString::fromUtf8("文件"));
    QCOMPARE(TextOf(&window, "RBsame"), QString::fromUtf8("与源文件保存在同一文件夹"));
    QCOMPARE(TextOf(&window, "LabCurFile"), QString::fromUtf8("当前文件："));
    QCOMPARE(TextOf(&window, "RzLabel21"), QString::fromUtf8("2.转换设置（图片格式、图片输出比例）。"));
    QCOMPARE(window.findChild<QWidget*>("PassPanel")->toolTip(), QString::fromUtf8("点击“显示/隐藏”打开密码输入框"));
    QCOMPARE(Header(window, 1), QString::fromUtf8("文件名"));
    QCOMPARE(Header(window, 6), QString::fromUtf8("备注"));
    QCOMPARE(window.Message(3), QString::fromUtf8("请勾选要转换的文件！"));
  }

  void StoredLanguageWinsOverTheLocale() {
    guitest::TTestFolders folders;
    folders.WriteFile("plover.ini", "[set]\r\nY=0\r\n", folders.Config());
    FrmConvertImage window(folders.Options(kEnglish));
    QCOMPARE(window.Language(), 0);
    QCOMPARE(TextOf(&window, "ActRun"), QString::fromUtf8("转换"));
    // A language without a table counts as not chosen.
    folders.WriteFile("plover.ini", "[set]\r\nY=5\r\n", folders.Config());
    FrmConvertImage other(folders.Options(kEnglish));
    QCOMPARE(other.Language(), 1);
  }

  void SwitchingBothWaysAndSaving() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options(kEnglish));
    window.AddFileRow(folders.WritePdf("a.pdf", 1));
    QAction* chinese = window.findChild<QAction*>("SimplifiedChinese1");
    chinese->trigger();
    QCOMPARE(window.Language(), 0);
    QVERIFY(chinese->isChecked());
    QCOMPARE(window.windowTitle(), QString::fromUtf8("Plover PDF转图片 3.6.1"));
    QCOMPARE(TextOf(&window, "LabSoftName"), QString::fromUtf8("Plover PDF转图片"));
    QCOMPARE(TextOf(&window, "ActAdd"), QString::fromUtf8("添加文件"));
    QCOMPARE(window.findChild<QAction*>("ActAdd")->toolTip(), QString::fromUtf8("添加文件"));
    QCOMPARE(window.findChild<QAction*>("ActDelete")->toolTip(), QString::fromUtf8("从列表中移除选中的文件"));
    QCOMPARE(TextOf(&window, "BTNRun"), QString::fromUtf8("转换"));
    QCOMPARE(Header(window, 3), QString::fromUtf8("页数"));
    QCOMPARE(window.Message(2), QString::fromUtf8("请添加文件！"));
    const plover::TIniFile saved = ReadIni(window.SettingsPath());
    QCOMPARE(saved.ReadString("set", "Y", ""), std::string("0"));
    QVERIFY(saved.Find("set", "P").has_value());
    QCOMPARE(saved.ReadString("set", "C", ""), std::string("0"));
    // The status of an existing row is shown in the new language.
    QCOMPARE(window.FileModel()->StatusOf(0), QString::fromUtf8("就绪"));
    // A click on the ticked item changes nothing.
    QVERIFY(!window.SwitchLanguage(0));
    window.findChild<QAction*>("English1")->trigger();
    QCOMPARE(window.Language(), 1);
    QCOMPARE(TextOf(&window, "ActAdd"), QString("Add Files"));
    QCOMPARE(window.findChild<QAction*>("ActAdd")->toolTip(), QString("Add Files"));
    QCOMPARE(window.findChild<QAction*>("ActDelete")->toolTip(), QString("Removed from the list of selected files"));
    QCOMPARE(ReadIni(window.SettingsPath()).ReadString("set", "Y", ""), std::string("1"));
  }

  void DeletedFileIsWrittenAgainAtASwitch() {
    guitest::TTestFolders folders;
    QDir().mkpath(folders.Config() + "Language6");
    QVERIFY(plover::WriteLanguageFiles(QFile::encodeName(folders.Config() + "Language6/").toStdString()));
    FrmConvertImage window(folders.Options(kChinese));
    QVERIFY(window.findChild<QMenu*>("ML")->menuAction()->isVisible());
    QVERIFY(QFile::remove(window.LanguageFolder() + "en-us.dyy"));
    QVERIFY(window.SwitchLanguage(1));
    QVERIFY(QFileInfo::exists(window.LanguageFolder() + "en-us.dyy"));
    QCOMPARE(TextOf(&window, "ActRun"), QString("Convert"));
  }

  void UnwritableLanguageFolderStopsTheSwitch() {
    guitest::TTestFolders folders;
    // A file where the language folder should be: nothing can be written there.
    folders.WriteFile("Language6", "in the way", folders.Config());
    FrmConvertImage window(folders.Options(kChinese));
    QVERIFY(!window.SwitchLanguage(1));
    QCOMPARE(window.Language(), 0);
    QCOMPARE(TextOf(&window, "ActRun"), QString::fromUtf8("转换"));
    // Started in English, the window still shows English texts.
    FrmConvertImage english(folders.Options(kEnglish));
    QCOMPARE(english.Language(), 1);
    QCOMPARE(TextOf(&english, "ActRun"), QString("Convert"));
    QCOMPARE(english.Message(2), QString("Please add files!"));
  }

  void EditedFilesRelabelTheControls() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options(kEnglish));
    const QString zh = window.LanguageFolder() + "zh-cn.dyy";
    const QString en = window.LanguageFolder() + "en-us.dyy";
    // An English file edited with a Linux editor: UTF-8, LF line ends, one key changed, "T3" gone.
    QByteArray text = QByteArray::fromStdString(std::string(plover::BuiltInLanguageText(1)));
    text.replace("FrmConvertImage.ActRun.Caption=Convert", "FrmConvertImage.ActRun.Caption=Start \xE2\x86\x92");
    text.replace("FrmConvertImage.RBCustom.Caption=Specify the path\n", "");
    text.replace("T3=Please tick the check boxes of the files to convert!\n", "");
    WriteBytes(en, text);
    // The Chinese file in GBK with one key changed.
    QByteArray chinese = QByteArray::fromStdString(std::string(plover::BuiltInLanguageText(0)));
    chinese.replace(QString::fromUtf8("FrmConvertImage.ActRun.Caption=转换").toUtf8(),
                    QString::fromUtf8("FrmConvertImage.ActRun.Caption=开始转换").toUtf8());
    const std::optional<std::string> gbk = plover::Utf8ToGbk(chinese.toStdString());
    QVERIFY(gbk.has_value());
    WriteBytes(zh, QByteArray::fromStdString(*gbk));

    QVERIFY(window.SwitchLanguage(0));
    QCOMPARE(TextOf(&window, "ActRun"), QString::fromUtf8("开始转换"));
    QCOMPARE(TextOf(&window, "BTNRun"), QString::fromUtf8("开始转换"));
    QVERIFY(window.SwitchLanguage(1));
    QCOMPARE(TextOf(&window, "ActRun"), QString::fromUtf8("Start →"));
    QCOMPARE(TextOf(&window, "BTNRun"), QString::fromUtf8("Start →"));
    // A missing component key keeps the built-in text of the language (not the last language's);
    // a missing message key empties the message.
    QCOMPARE(TextOf(&window, "RBCustom"), QString("Specify the path"));
    QCOMPARE(window.Message(3), QString());
    QCOMPARE(window.Message(2), QString("Please add files!"));
  }

  void OutputChoiceIsStored() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options(kEnglish));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.HideOverlay();
    auto* custom = window.findChild<QRadioButton*>("RBCustom");
    QTest::mouseClick(custom, Qt::LeftButton, {}, QPoint(8, custom->height() / 2));
    QVERIFY(custom->isChecked());
    plover::TIniFile saved = ReadIni(window.SettingsPath());
    QCOMPARE(saved.ReadString("set", "C", ""), std::string("1"));
    QCOMPARE(saved.ReadString("set", "Y", ""), std::string("1"));
    QCOMPARE(QString::fromStdString(saved.ReadString("set", "P", "")), window.findChild<QLineEdit*>("EPath")->text());
    auto* same = window.findChild<QRadioButton*>("RBsame");
    QTest::mouseClick(same, Qt::LeftButton, {}, QPoint(8, same->height() / 2));
    QCOMPARE(ReadIni(window.SettingsPath()).ReadString("set", "C", ""), std::string("0"));
  }

  void MissingStoredFolderFallsBackToHome() {
    guitest::TTestFolders folders;
    folders.WriteFile("plover.ini", "[set]\r\nY=1\r\nP=/no/such/folder\r\nC=1\r\n", folders.Config());
    FrmConvertImage window(folders.Options(kEnglish));
    QString home = QDir::homePath();
    if (!home.endsWith('/')) home += '/';
    QCOMPARE(window.findChild<QLineEdit*>("EPath")->text(), home);
  }

  void AboutWindowInBothLanguages() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options(kEnglish));
    const QStringList english = AboutTexts([&] { window.findChild<QAction*>("ActAbout")->trigger(); });
    QCOMPARE(english.value(0), QString("About"));
    QCOMPARE(english.value(1), QString("Home:"));
    QCOMPARE(english.value(2), QString("E-mail:"));
    QCOMPARE(english.value(3), QString("Close"));
    QCOMPARE(english.value(4), QString("3.6.1"));
    QCOMPARE(english.value(5), QString("Plover PDF to Image"));
    // No web or mail address is given, so neither line is shown.
    QCOMPARE(english.value(6), QString());
    QVERIFY(english.value(7) == "hidden");
    QVERIFY(window.SwitchLanguage(0));
    const QStringList chinese = AboutTexts([&] { window.findChild<QAction*>("ActAbout")->trigger(); });
    QCOMPARE(chinese.value(0), QString::fromUtf8("关于"));
    QCOMPARE(chinese.value(3), QString::fromUtf8("关闭"));
    QCOMPARE(chinese.value(5), QString::fromUtf8("Plover PDF转图片"));
  }

  void GettingStartedOverlay() {
    guitest::TTestFolders folders;
    FrmConvertImage window(folders.Options(kEnglish));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* timer = window.findChild<QTimer*>("TimerHP");
    auto* overlay = window.findChild<QWidget*>("PanelHP");
    QVERIFY(window.IsOverlayVisible());
    QVERIFY(overlay->isVisible());
    QVERIFY(!window.FileList()->isVisible());
    QVERIFY(timer->isActive());
    QVERIFY(timer->isSingleShot());
    QCOMPARE(timer->interval(), 10000);
    // The timer's end hides it.
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection));
    QVERIFY(!window.IsOverlayVisible());
    QVERIFY(window.FileList()->isVisible());
    // Help shows it again with the timer; a click on it hides it.
    window.findChild<QAction*>("ActHelp")->trigger();
    QVERIFY(window.IsOverlayVisible());
    QVERIFY(timer->isActive());
    QTest::mouseClick(overlay, Qt::LeftButton, {}, QPoint(20, 20));
    QVERIFY(!window.IsOverlayVisible());
    QVERIFY(!timer->isActive());
    // Remove, Clear and a drop hide it too.
    for (const char* name : {"ActDelete", "ActClear"}) {
      window.ShowOverlay(true);
      window.findChild<QAction*>(name)->trigger();
      QVERIFY2(!window.IsOverlayVisible(), name);
    }
    window.ShowOverlay(true);
    window.DropFiles({folders.WritePdf("a.pdf", 1)});
    QVERIFY(!window.IsOverlayVisible());
    QCOMPARE(window.FileModel()->rowCount(), 1);
  }
};

QTEST_MAIN(LanguageTest)
#include "language_test.moc"
