#pragma once
// The main window FrmConvertImage: file list, conversion settings, Convert loop and languages.
#include <QLocale>
#include <QMainWindow>
#include <QStringList>
#include <QHash>
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
class QSpinBox;
class QTimer;
class QToolButton;

namespace plover {

class TFileListModel;
class TFileListView;
class TGettingStartedPanel;
class TLinkLabel;
class TPasswordPanel;
class TPathField;
class TThumbnailCache;

struct TWindowOptions {
  // Folder of plover.ini and Language6/; empty means the user's configuration folder.
  QString ConfigFolder;
  // Decides the language when none is stored, and the number format of sizes.
  QLocale Locale = QLocale::system();
  // The job for one file; empty converts the files with one worker per core.
  TConvertJob Job;
  // Where first-page thumbnails are kept between sessions; empty means the user's cache
  // folder.
  QString CacheFolder;
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
  // Files dropped on the window: each ".pdf" is added, and the PDF files inside each folder.
  void DropFiles(const QStringList& paths);
  // Adds the PDF files inside `folder` and its subfolders, in name order; returns how many
  // rows were added, and says so in the result line.
  int AddFolder(const QString& folder);

  // Makes `index` the interface language; false when nothing changed.
  bool SwitchLanguage(int index);

  // The Convert command; returns at once, the files are converted on the worker thread.
  void Convert();
  // Stops the running conversion after the current page.
  void CancelConversion();
  // Escape during a run: asks, then cancels.
  void AskToCancel();

  void ShowOverlay(bool startTimer);
  void HideOverlay();

  // The line shown after a run ("3 converted, 1 failed"), empty while none is shown, and the
  // folder its button opens.
  QString ResultLine() const;
  QString LastOutputFolder() const { return lastOutputFolder_; }
  TThumbnailCache* Thumbnails() const { return thumbnails_; }

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
  void OnAddFolder();
  void OnRemove();
  void OnClear();
  void OnAbout();
  void OnSelectFolder();
  void OnOutputChoice();
  void OnLanguageItem(QAction* item);
  void OnFileStarted(int n, quint64 rowId);
  void OnFileProgress(quint64 rowId, int percent);
  void OnFileFinished(int n, quint64 rowId, const TFileOutcome& outcome);
  void ShowOverallProgress();
  // Asks before a run writes into folders that hold page files of another run.
  bool AcceptMixedFolders(const QList<TConvertTask>& tasks, const TConvertSettings& settings);
  void ShowNotice(const QString& text);
  bool Ask(const QString& question);
  void FitToScreen();
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
  // The running (or last) run: its tasks, each file's share of the overall bar (its pages) and
  // progress, the file shown in the bar below it, and what became of the files.
  QList<TConvertTask> runTasks_;
  QHash<quint64, int> runWeights_;
  QHash<quint64, int> runProgress_;
  quint64 currentRow_ = 0;
  int converted_ = 0;
  int failed_ = 0;
  int cancelled_ = 0;
  int skipped_ = 0;
  // The folder the run's button opens: the chosen output folder, or the last file's.
  QString runCustomFolder_;
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
  QSpinBox* dpi_ = nullptr;
  QSpinBox* jpegQuality_ = nullptr;
  QLineEdit* pages_ = nullptr;
  QRadioButton* same_ = nullptr;
  QRadioButton* custom_ = nullptr;
  TPathField* path_ = nullptr;
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
  QAction* escapeKey_ = nullptr;
  QAction* actAddFolder_ = nullptr;
  TThumbnailCache* thumbnails_ = nullptr;
};

}  // namespace plover
