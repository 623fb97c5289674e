#pragma once
// The main window FrmConvertImage: file list, conversion settings, Convert loop and languages.
#include <QLocale>
#include <QMainWindow>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <memory>

#include "app/gui/convert_worker.h"

class QAction;
class QActionGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QToolButton;

namespace plover {

class TFileListModel;
class TFileListView;
class TGettingStartedPanel;
class TLinkLabel;
class TPasswordPanel;

struct TWindowOptions {
  // Folder of plover.ini and Language6/; empty means the user's configuration folder.
  QString ConfigFolder;
  // Decides the language when none is stored, and the number format of sizes.
  QLocale Locale = QLocale::system();
  // The job for one file; empty means the real conversion job.
  TConvertJob Job;
};

class FrmConvertImage : public QMainWindow {
  Q_OBJECT
 public:
  using TStartOptions = TWindowOptions;

  explicit FrmConvertImage(TStartOptions options = TStartOptions(), QWidget* parent = nullptr);
  ~FrmConvertImage() override;

  int Language() const { return language_; }
  QString AppTitle() const { return appTitle_; }
  QString Message(int index) const { return messages_.value(index); }
  TFileListModel* FileModel() const { return model_; }
  TFileListView* FileList() const { return list_; }
  bool IsConverting() const { return converting_; }
  bool IsOverlayVisible() const;
  QString SettingsPath() const;
  QString LanguageFolder() const;

  // Adds one file with the trimmed text of the password field.
  bool AddFileRow(const QString& path);
  // Files chosen in the file dialog: each that exists and is a ".pdf" is added.
  void AddFiles(const QStringList& paths);
  // Files dropped on the window: each ".pdf" that is not a folder is added.
  void DropFiles(const QStringList& paths);

  // Makes `index` the interface language; false when nothing changed.
  bool SwitchLanguage(int index);

  // The Convert command; returns at once, the files are converted on the worker thread.
  void Convert();
  // Stops the running conversion after the current page.
  void CancelConversion();

  void ShowOverlay(bool startTimer);
  void HideOverlay();

  // The line shown after a run ("3 converted, 1 failed"), empty while none is shown, and the
  // folder its button opens.
  QString ResultLine() const;
  QString LastOutputFolder() const { return lastOutputFolder_; }

 signals:
  void ConversionFinished();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Construction of the controls (frm_convert_image_layout.cpp).
  void BuildActions();
  void BuildMenus();
  void BuildToolbar();
  void BuildCentral();
  void BuildListMenu();
  void ConnectCommands();

  void Start();
  void ApplyProductTexts();
  void ApplyBuiltInTexts(int language);
  void TickLanguageItem();
  void SaveSettings();
  void UpdateCommandStates();
  void ShowMessage(int index);
  void ShowListMenu(const QPoint& position);

  void OnAdd();
  void OnRemove();
  void OnClear();
  void OnAbout();
  void OnSelectFolder();
  void OnOutputChoice();
  void OnLanguageItem(QAction* item);
  void OnFileStarted(int n, quint64 rowId);
  void OnFileFinished(int n, quint64 rowId, int result, const QString& reason, const QString& outputFolder,
                      int pageCount);
  void ShowResultLine();
  void OnAllDone();

  TStartOptions options_;
  int language_ = 1;
  QString appTitle_;
  QStringList messages_;
  QString outputFolder_;
  // Where the file dialog opens: the folder of the last files chosen.
  QString dialogFolder_;
  bool customFolderStored_ = false;
  bool converting_ = false;
  int total_ = 0;
  int converted_ = 0;
  int failed_ = 0;
  QString lastOutputFolder_;

  std::shared_ptr<std::atomic<bool>> cancel_;
  QThread thread_;
  TConvertWorker* worker_ = nullptr;

  TFileListModel* model_ = nullptr;
  TFileListView* list_ = nullptr;
  TGettingStartedPanel* panelHP_ = nullptr;
  QWidget* panelProcess_ = nullptr;
  TPasswordPanel* passPanel_ = nullptr;
  QTimer* overlayTimer_ = nullptr;

  QAction* actAdd_ = nullptr;
  QAction* actDelete_ = nullptr;
  QAction* actClear_ = nullptr;
  QAction* actHelp_ = nullptr;
  QAction* actHome_ = nullptr;
  QAction* actUpdate_ = nullptr;
  QAction* actAbout_ = nullptr;
  QAction* actRun_ = nullptr;
  QMenu* menuLanguage_ = nullptr;
  QActionGroup* languageItems_ = nullptr;
  QMenu* listMenu_ = nullptr;
  QAction* pnAdd_ = nullptr;
  QAction* pnSelectAll_ = nullptr;
  QAction* pnRemove_ = nullptr;
  QAction* pnClear_ = nullptr;
  QAction* pnOpen_ = nullptr;
  QAction* pnLocate_ = nullptr;

  QComboBox* format_ = nullptr;
  QComboBox* quality_ = nullptr;
  QRadioButton* same_ = nullptr;
  QRadioButton* custom_ = nullptr;
  QLineEdit* path_ = nullptr;
  QToolButton* select_ = nullptr;
  QToolButton* openFolder_ = nullptr;
  QToolButton* run_ = nullptr;
  QGroupBox* settingsGroup_ = nullptr;
  QProgressBar* overall_ = nullptr;
  QProgressBar* current_ = nullptr;
  QLabel* fileName_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  TLinkLabel* guide_ = nullptr;
  QWidget* resultBar_ = nullptr;
  QLabel* resultText_ = nullptr;
  QPushButton* openResult_ = nullptr;
  QAction* removeKey_ = nullptr;
};

}  // namespace plover
