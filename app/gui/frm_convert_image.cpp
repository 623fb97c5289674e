#include "app/gui/frm_convert_image.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpacerItem>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>

#include "app/convert_plan.h"
#include "app/gui/widgets/path_field.h"
#include "app/gui/widgets/thumbnail_cache.h"
#include "app/gui/window_texts.h"
#include "cli/cli_options.h"
#include "app/gui/widgets/file_list_model.h"
#include "app/gui/widgets/file_list_view.h"
#include "app/gui/frm_about.h"
#include "app/gui/widgets/getting_started_panel.h"
#include "app/gui/language_apply.h"
#include "app/gui/widgets/link_label.h"
#include "app/gui/widgets/password_panel.h"
#include "app/gui/product_info.h"
#include "app/gui/shell_services.h"
#include "app/gui/theme.h"
#include "app/language_files.h"
#include "app/settings_file.h"
#include "app/status_text.h"

namespace plover {

namespace {

bool IsAcceptedFile(const QString& path) { return path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive); }

QString WithSlash(QString folder) {
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

}  // namespace

FrmConvertImage::FrmConvertImage(TStartOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)), cancel_(std::make_shared<std::atomic<bool>>(false)) {
  setObjectName(QStringLiteral("FrmConvertImage"));
  if (options_.ConfigFolder.isEmpty()) options_.ConfigFolder = QFile::decodeName(plover::ConfigFolder().c_str());
  options_.ConfigFolder = WithSlash(options_.ConfigFolder);
  if (options_.CacheFolder.isEmpty())
    options_.CacheFolder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/plover/thumbnails");
  options_.CacheFolder = WithSlash(options_.CacheFolder);

  BuildActions();
  BuildMenus();
  BuildToolbar();
  BuildCentral();
  BuildListMenu();
  setStyleSheet(MainWindowStyleSheet());

  worker_ = new TConvertWorker(options_.Job, cancel_);
  worker_->moveToThread(&thread_);
  connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
  thread_.start();

  ConnectCommands();
  Start();

  FitToScreen();
}

// The window opens at 689 x 534 (client area) and may not be made smaller, unless the screen
// it opens on is smaller than that; then it fills the screen's free area and the list gives
// up its room first.
void FrmConvertImage::FitToScreen() {
  const QSize client(689, 534);
  QSize size = QSize(client.width(), client.height() + menuBar()->sizeHint().height()).expandedTo(minimumSizeHint());
  const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen) {
    // Room for the window manager's frame and title bar.
    const QSize room = screen->availableGeometry().size() - QSize(16, 48);
    size = size.boundedTo(room);
  }
  setMinimumSize(size);
  resize(size);
  if (screen) move(screen->availableGeometry().center() - rect().center());
}

FrmConvertImage::~FrmConvertImage() {
  cancel_->store(true);
  thread_.quit();
  thread_.wait();
}

QString FrmConvertImage::SettingsPath() const { return options_.ConfigFolder + QLatin1String(kSettingsFileName); }

QString FrmConvertImage::LanguageFolder() const {
  return options_.ConfigFolder + QLatin1String(kLanguageFolderName) + QLatin1Char('/');
}

void FrmConvertImage::ConnectCommands() {
  connect(actAdd_, &QAction::triggered, this, &FrmConvertImage::OnAdd);
  connect(actDelete_, &QAction::triggered, this, &FrmConvertImage::OnRemove);
  connect(actClear_, &QAction::triggered, this, &FrmConvertImage::OnClear);
  connect(actHelp_, &QAction::triggered, this, [this] { ShowOverlay(true); });
  connect(actAddFolder_, &QAction::triggered, this, &FrmConvertImage::OnAddFolder);
  connect(actAbout_, &QAction::triggered, this, &FrmConvertImage::OnAbout);
  connect(actRun_, &QAction::triggered, this, &FrmConvertImage::Convert);
  connect(cancelButton_, &QPushButton::clicked, this, &FrmConvertImage::CancelConversion);
  connect(removeKey_, &QAction::triggered, this, &FrmConvertImage::OnRemove);
  connect(escapeKey_, &QAction::triggered, this, &FrmConvertImage::AskToCancel);
  connect(openResult_, &QPushButton::clicked, this, [this] {
    if (!lastOutputFolder_.isEmpty()) OpenLocalPath(lastOutputFolder_);
  });
  connect(format_, &QComboBox::currentIndexChanged, this, [this](int index) { jpegQuality_->setEnabled(index == 1); });
  connect(quality_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) dpi_->setValue(DpiForScaleIndex(index));
  });
  connect(dpi_, &QSpinBox::valueChanged, this, [this](int dpi) {
    // A resolution between the scale steps leaves the scale list blank.
    int match = -1;
    for (int i = 0; i < quality_->count(); ++i)
      if (DpiForScaleIndex(i) == dpi) match = i;
    if (match != quality_->currentIndex()) quality_->setCurrentIndex(match);
  });
  connect(select_, &QToolButton::clicked, this, &FrmConvertImage::OnSelectFolder);
  connect(openFolder_, &QToolButton::clicked, this, [this] { OpenLocalPath(path_->text().trimmed()); });
  connect(same_, &QRadioButton::clicked, this, &FrmConvertImage::OnOutputChoice);
  connect(custom_, &QRadioButton::clicked, this, &FrmConvertImage::OnOutputChoice);
  connect(languageItems_, &QActionGroup::triggered, this, &FrmConvertImage::OnLanguageItem);
  connect(overlayTimer_, &QTimer::timeout, this, &FrmConvertImage::HideOverlay);
  connect(panelHP_, &TGettingStartedPanel::Clicked, this, &FrmConvertImage::HideOverlay);

  connect(list_, &TFileListView::MenuRequested, this, &FrmConvertImage::ShowListMenu);
  connect(list_, &TFileListView::FilesDropped, this, &FrmConvertImage::DropFiles);
  connect(list_->CheckHeader(), &TCheckHeader::IndicatorClicked, model_, &TFileListModel::ToggleAllChecks);
  connect(model_, &TFileListModel::ContentChanged, this,
          [this] { list_->CheckHeader()->SetIndicator(model_->SelectAllState()); });
  connect(pnAdd_, &QAction::triggered, this, &FrmConvertImage::OnAdd);
  connect(pnSelectAll_, &QAction::triggered, model_, &TFileListModel::ToggleAllChecks);
  connect(pnRemove_, &QAction::triggered, this, &FrmConvertImage::OnRemove);
  connect(pnClear_, &QAction::triggered, this, &FrmConvertImage::OnClear);
  connect(pnOpen_, &QAction::triggered, this, [this] {
    const int row = list_->FocusedRow();
    if (row >= 0) OpenLocalPath(model_->Row(row).Folder + model_->Row(row).Name);
  });
  connect(pnLocate_, &QAction::triggered, this, [this] {
    const int row = list_->FocusedRow();
    if (row < 0) return;
    const QString path = model_->Row(row).Folder + model_->Row(row).Name;
    if (QFileInfo::exists(path)) LocateFile(path);
  });

  connect(worker_, &TConvertWorker::FileStarted, this, &FrmConvertImage::OnFileStarted);
  connect(worker_, &TConvertWorker::FileProgress, this, &FrmConvertImage::OnFileProgress);
  connect(worker_, &TConvertWorker::FileFinished, this, &FrmConvertImage::OnFileFinished);
  connect(worker_, &TConvertWorker::AllDone, this, &FrmConvertImage::OnAllDone);
}

// The start-up sequence: settings, language, language files, texts, overlay.
void FrmConvertImage::Start() {
  setAcceptDrops(true);
  // The folder that stands in for the program's own folder always exists.
  QDir().mkpath(options_.ConfigFolder);
  ApplyBuiltInTexts(0);
  const TSettings settings = ReadSettings(QFile::encodeName(SettingsPath()).toStdString(), HomeFolder());
  outputFolder_ = QFile::decodeName(settings.OutputFolder.c_str());
  customFolderStored_ = settings.CustomFolder;
  path_->setText(outputFolder_);
  // The choices of the last session come back.
  custom_->setChecked(settings.CustomFolder);
  same_->setChecked(!settings.CustomFolder);
  if (settings.FormatIndex >= 0 && settings.FormatIndex < format_->count()) format_->setCurrentIndex(settings.FormatIndex);
  if (settings.Dpi > 0) dpi_->setValue(settings.Dpi);
  if (settings.JpegQuality > 0) jpegQuality_->setValue(settings.JpegQuality);
  jpegQuality_->setEnabled(format_->currentIndex() == 1);
  language_ = settings.Language == -1 ? LanguageFromLocale(options_.Locale) : settings.Language;
  model_->SetLanguage(language_);
  if (!QFileInfo(LanguageFolder()).isDir()) {
    if (language_ == 1) WriteLanguageFiles(QFile::encodeName(LanguageFolder()).toStdString());
    else menuLanguage_->menuAction()->setVisible(false);
  }
  ApplyProductTexts();
  if (language_ == 1) {
    // The built-in texts first, so that a language file written by an older version, which
    // lacks the keys of newer controls, leaves no Chinese caption behind.
    ApplyBuiltInTexts(1);
    QStringList messages;
    if (ApplyLanguage(this, LanguageFolder(), QLatin1String(kLanguageFileNames[1]), messages)) messages_ = messages;
  }
  TickLanguageItem();
  UpdateCommandStates();
  ShowOverlay(true);
}

void FrmConvertImage::ApplyBuiltInTexts(int language) {
  messages_ = ApplyLanguageTexts(this, TIniFile::Parse(BuiltInLanguageText(language)));
}

void FrmConvertImage::ApplyProductTexts() {
  const TProductInfo& info = ProductInfo(language_);
  appTitle_ = info.Title;
  setWindowTitle(appTitle_ + QLatin1Char(' ') + QLatin1String(kVersionText));
  panelHP_->SoftName()->setText(appTitle_);
  pages_->setPlaceholderText(WindowText(language_, TWindowText::AllPages));
  // The guide is the README installed with the program; without it the link is hidden.
  const QString help = HelpDocument();
  guide_->SetUrl(QUrl::fromLocalFile(help));
  guide_->setVisible(!help.isEmpty());
}

void FrmConvertImage::TickLanguageItem() {
  for (QAction* item : languageItems_->actions()) item->setChecked(item->data().toInt() == language_);
}

void FrmConvertImage::SaveSettings() {
  TSettings settings;
  settings.Language = language_;
  settings.OutputFolder = QFile::encodeName(outputFolder_).toStdString();
  settings.CustomFolder = customFolderStored_;
  settings.FormatIndex = format_->currentIndex();
  settings.Dpi = dpi_->value();
  settings.JpegQuality = jpegQuality_->value();
  WriteSettings(QFile::encodeName(SettingsPath()).toStdString(), settings);
}

void FrmConvertImage::UpdateCommandStates() {
  const bool idle = !converting_;
  for (QAction* action : {actAdd_, actAddFolder_, actDelete_, actClear_, actRun_}) action->setEnabled(idle);
  list_->SetChangesEnabled(idle);
  // The choices of a running conversion are fixed when it starts.
  settingsGroup_->setEnabled(idle);
  passPanel_->PasswordField()->setEnabled(idle);
  escapeKey_->setEnabled(converting_);
}

namespace {

// A message box is as wide as its title, which the window manager would cut otherwise.
void MakeRoomForTitle(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (!grid) return;
  const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) * 5 / 4 + 120;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                grid->columnCount());
}

}  // namespace

void FrmConvertImage::ShowMessage(int index) {
  QMessageBox box(QMessageBox::Warning, appTitle_, messages_.value(index), QMessageBox::Ok, this);
  MakeRoomForTitle(box);
  box.exec();
}

bool FrmConvertImage::Ask(const QString& question) {
  QMessageBox box(QMessageBox::Question, appTitle_, question, QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::No);
  MakeRoomForTitle(box);
  return box.exec() == QMessageBox::Yes;
}

bool FrmConvertImage::IsOverlayVisible() const { return !panelHP_->isHidden(); }

void FrmConvertImage::ShowOverlay(bool startTimer) {
  panelHP_->show();
  panelHP_->raise();
  // A running conversion keeps its progress in sight.
  if (converting_) panelProcess_->raise();
  list_->hide();
  if (startTimer) overlayTimer_->start();
}

void FrmConvertImage::HideOverlay() {
  if (panelHP_->isHidden()) return;
  panelHP_->hide();
  list_->show();
  overlayTimer_->stop();
}

bool FrmConvertImage::AddFileRow(const QString& path) {
  if (!model_->AddFileRow(path, passPanel_->PasswordField()->text().trimmed())) return false;
  // The row added or retried: its thumbnail is rendered in the background once it opens.
  const QFileInfo info(path);
  const int row = model_->IndexOf(info.fileName(), WithSlash(info.absolutePath()));
  if (row >= 0) {
    const TFileRow& r = model_->Row(row);
    thumbnails_->Forget(r.Folder + r.Name);
    if (r.Opened) thumbnails_->Request(r.Folder + r.Name, r.Password);
  }
  return true;
}

void FrmConvertImage::AddFiles(const QStringList& paths) {
  if (converting_) return;
  for (const QString& path : paths)
    if (QFileInfo::exists(path) && IsAcceptedFile(path)) AddFileRow(path);
}

void FrmConvertImage::DropFiles(const QStringList& paths) {
  if (converting_) return;
  HideOverlay();
  // Whole paths: a path cut to some length could name another file.
  for (const QString& path : paths) {
    if (QFileInfo(path).isDir()) AddFolder(path);
    else if (IsAcceptedFile(path)) AddFileRow(path);
  }
}

int FrmConvertImage::AddFolder(const QString& folder) {
  if (converting_) return 0;
  HideOverlay();
  // Links to folders are not followed, so that a link back up cannot make the walk endless.
  QStringList found;
  QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (IsAcceptedFile(path)) found.push_back(path);
  }
  std::sort(found.begin(), found.end(), [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  QApplication::setOverrideCursor(Qt::WaitCursor);
  int added = 0;
  for (const QString& path : found)
    if (AddFileRow(path)) ++added;
  QApplication::restoreOverrideCursor();
  ShowNotice(found.isEmpty() ? WindowText(language_, TWindowText::NoPdfInFolder).arg(QDir::toNativeSeparators(folder))
                             : WindowText(language_, TWindowText::FolderAdded).arg(added).arg(QDir::toNativeSeparators(folder)));
  return added;
}

void FrmConvertImage::ShowNotice(const QString& text) {
  resultText_->setText(text);
  openResult_->hide();
  resultBar_->show();
}

void FrmConvertImage::OnAdd() {
  HideOverlay();
  if (converting_) return;
  const TProductInfo& info = ProductInfo(language_);
  const QString start = dialogFolder_.isEmpty() ? QDir::homePath() : dialogFolder_;
  const QStringList paths = QFileDialog::getOpenFileNames(this, info.DialogTitle, start, info.DialogFilter);
  if (!paths.isEmpty()) dialogFolder_ = QFileInfo(paths.front()).absolutePath();
  AddFiles(paths);
}

void FrmConvertImage::OnAddFolder() {
  HideOverlay();
  if (converting_) return;
  const QString start = dialogFolder_.isEmpty() ? QDir::homePath() : dialogFolder_;
  const QString folder = QFileDialog::getExistingDirectory(this, actAddFolder_->text(), start, QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return;
  dialogFolder_ = folder;
  AddFolder(folder);
}

void FrmConvertImage::OnRemove() {
  HideOverlay();
  if (converting_) return;
  model_->RemoveRows(list_->SelectedRows());
  if (model_->rowCount() == 0) resultBar_->hide();
}

void FrmConvertImage::OnClear() {
  HideOverlay();
  if (converting_) return;
  model_->Clear();
  // The last run's line speaks of rows that are gone.
  resultBar_->hide();
}

void FrmConvertImage::OnAbout() {
  HideOverlay();
  // A fresh window each time, so that it never keeps the texts of an earlier language.
  FrmAbout about(this);
  if (language_ == 1) {
    QStringList unused;
    ApplyLanguage(&about, LanguageFolder(), QLatin1String(kLanguageFileNames[1]), unused);
  }
  about.SetProduct(appTitle_, language_);
  about.exec();
}

void FrmConvertImage::OnSelectFolder() {
  const QString current = path_->text().trimmed();
  const QString start = QFileInfo(current).isDir() ? current : QString();
  const QString chosen =
      QFileDialog::getExistingDirectory(this, select_->toolTip(), start, QFileDialog::ShowDirsOnly);
  if (chosen.isEmpty() || chosen == outputFolder_) return;
  outputFolder_ = chosen;
  path_->setText(chosen);
  SaveSettings();
}

void FrmConvertImage::OnOutputChoice() {
  customFolderStored_ = custom_->isChecked();
  SaveSettings();
}

void FrmConvertImage::OnLanguageItem(QAction* item) {
  const int wanted = item->data().toInt();
  if (wanted != language_ && SwitchLanguage(wanted)) SaveSettings();
  TickLanguageItem();
}

bool FrmConvertImage::SwitchLanguage(int index) {
  if (index == language_ || index < 0 || index > 1) return false;
  const QString folder = LanguageFolder();
  auto filesThere = [&] {
    return QFileInfo::exists(folder + QLatin1String(kLanguageFileNames[language_])) &&
           QFileInfo::exists(folder + QLatin1String(kLanguageFileNames[index]));
  };
  if (!filesThere()) WriteLanguageFiles(QFile::encodeName(folder).toStdString());
  if (!filesThere()) return false;
  language_ = index;
  ApplyProductTexts();
  ApplyBuiltInTexts(index);
  QStringList messages;
  if (ApplyLanguage(this, folder, QLatin1String(kLanguageFileNames[index]), messages)) messages_ = messages;
  model_->SetLanguage(index);
  if (!resultBar_->isHidden() && openResult_->isVisibleTo(resultBar_)) ShowResultLine();
  TickLanguageItem();
  return true;
}

void FrmConvertImage::ShowListMenu(const QPoint& position) {
  const bool overRow = list_->indexAt(position).isValid();
  const bool hasRows = model_->rowCount() > 0;
  const bool idle = !converting_;
  pnAdd_->setText(actAdd_->text());
  pnRemove_->setText(actDelete_->text());
  pnClear_->setText(actClear_->text());
  pnAdd_->setEnabled(idle);
  pnSelectAll_->setEnabled(hasRows);
  pnRemove_->setEnabled(idle && !list_->SelectedRows().isEmpty());
  pnClear_->setEnabled(idle && hasRows);
  pnOpen_->setEnabled(overRow);
  pnLocate_->setEnabled(overRow);
  listMenu_->popup(list_->viewport()->mapToGlobal(position));
}

void FrmConvertImage::Convert() {
  HideOverlay();
  if (converting_) return;
  if (model_->rowCount() == 0) {
    ShowMessage(2);
    return;
  }
  if (model_->CheckedCount() == 0) {
    ShowMessage(3);
    return;
  }
  TConvertSettings settings;
  settings.FormatIndex = format_->currentIndex();
  settings.ScaleIndex = quality_->currentIndex() >= 0 ? quality_->currentIndex() : 3;
  settings.Dpi = dpi_->value();
  settings.JpegQuality = jpegQuality_->value();
  const QString pageText = pages_->text().trimmed();
  if (!pageText.isEmpty()) {
    const auto pages = ParsePageList(pageText.toStdString());
    if (!pages) {
      QMessageBox box(QMessageBox::Warning, appTitle_, WindowText(language_, TWindowText::BadPageList).arg(pageText),
                      QMessageBox::Ok, this);
      MakeRoomForTitle(box);
      box.exec();
      pages_->setFocus();
      return;
    }
    settings.Pages = *pages;
  }

  const bool custom = custom_->isChecked();
  const QString typed = passPanel_->PasswordField()->text().trimmed();
  const std::string customFolder = QFile::encodeName(path_->text().trimmed()).toStdString();
  QList<TConvertTask> tasks;
  // Two files of the same name going to one folder get "name" and "name (2)".
  TFolderClaims claims;
  for (int row = 0; row < model_->rowCount(); ++row) {
    const TFileRow& r = model_->Row(row);
    if (!r.Checked) continue;
    const std::string out = claims.Claim(custom ? customFolder : QFile::encodeName(r.Folder).toStdString(),
                                         FolderNameFor(QFile::encodeName(r.Name).toStdString()));
    // A row keeps the password it opened with; one that has not opened yet tries the field's.
    tasks.push_back(TConvertTask{r.Id, r.Folder, r.Name, QFile::decodeName(out.c_str()) + QLatin1Char('/'),
                                 r.Opened ? r.Password : typed});
  }
  if (!AcceptMixedFolders(tasks, settings)) return;
  // The choices of a run are the ones the next session starts with.
  SaveSettings();

  // Each file's share of the overall bar is the number of its pages that will be written.
  runTasks_ = tasks;
  runWeights_.clear();
  runProgress_.clear();
  for (const TConvertTask& task : tasks) {
    const int count = model_->Row(model_->RowOfId(task.RowId)).Pages.toInt();
    long long pages = count > 0 ? count : 1;
    if (!settings.Pages.empty() && count > 0) {
      pages = 0;
      for (const TPageRange& range : settings.Pages)
        if (range.First <= count) pages += std::min(range.Last, count) - range.First + 1;
    }
    runWeights_.insert(task.RowId, static_cast<int>(std::clamp(pages, 1LL, 1000000LL)));
    runProgress_.insert(task.RowId, 0);
    // The statuses of the last run do not stay on the rows of this one.
    model_->SetState(task.RowId, kStatusReady);
  }
  currentRow_ = 0;
  converted_ = failed_ = cancelled_ = skipped_ = 0;
  runCustomFolder_ = custom ? QFile::decodeName(customFolder.c_str()) : QString();
  lastOutputFolder_.clear();
  resultBar_->hide();
  converting_ = true;
  cancel_->store(false);
  UpdateCommandStates();
  cancelButton_->setEnabled(true);
  current_->setValue(0);
  overall_->setValue(0);
  panelProcess_->show();
  panelProcess_->raise();
  // The conversion has the engine to itself: a thumbnail being drawn is finished first.
  thumbnails_->SetPaused(true);
  auto start = [worker = worker_, tasks, settings] { worker->Run(tasks, settings); };
  if (!thumbnails_->IsBusy()) {
    QMetaObject::invokeMethod(worker_, start, Qt::QueuedConnection);
  } else {
    auto* once = new QObject(this);
    connect(thumbnails_, &TThumbnailCache::Idle, once, [this, once, start] {
      QMetaObject::invokeMethod(worker_, start, Qt::QueuedConnection);
      once->deleteLater();
    });
  }
}

bool FrmConvertImage::AcceptMixedFolders(const QList<TConvertTask>& tasks, const TConvertSettings& settings) {
  const std::string extension = kFormatCaptions[settings.FormatIndex >= 0 && settings.FormatIndex < 8 ? settings.FormatIndex : 1];
  for (const TConvertTask& task : tasks) {
    // A file that has not opened yet has no known pages to compare with.
    const int count = model_->Row(model_->RowOfId(task.RowId)).Pages.toInt();
    if (count <= 0) continue;
    const std::string folder = QFile::encodeName(task.OutputFolder).toStdString();
    const std::string foreign = ForeignPageFile(folder, extension, settings.Pages, count);
    if (foreign.empty()) continue;
    return Ask(WindowText(language_, TWindowText::MixedFolders)
                   .arg(QDir::toNativeSeparators(task.OutputFolder), QFile::decodeName(foreign.c_str())));
  }
  return true;
}

void FrmConvertImage::CancelConversion() {
  if (!converting_) return;
  cancel_->store(true);
  cancelButton_->setEnabled(false);
}

void FrmConvertImage::AskToCancel() {
  if (converting_ && !cancel_->load() && Ask(WindowText(language_, TWindowText::AskCancel))) CancelConversion();
}

void FrmConvertImage::OnFileStarted(int, quint64 rowId) {
  currentRow_ = rowId;
  current_->setValue(0);
  model_->SetState(rowId, kStatusProcessing);
  const int row = model_->RowOfId(rowId);
  fileName_->setText(row >= 0 ? model_->Row(row).Name : QString());
  ShowOverallProgress();
}

void FrmConvertImage::OnFileProgress(quint64 rowId, int percent) {
  if (!runProgress_.contains(rowId)) return;
  runProgress_[rowId] = std::clamp(percent, 0, 100);
  if (rowId == currentRow_) current_->setValue(runProgress_[rowId]);
  ShowOverallProgress();
}

void FrmConvertImage::ShowOverallProgress() {
  double done = 0, total = 0;
  for (auto it = runWeights_.cbegin(); it != runWeights_.cend(); ++it) {
    total += it.value();
    done += it.value() * runProgress_.value(it.key()) / 100.0;
  }
  overall_->setValue(total > 0 ? static_cast<int>(done / total * 100.0) : 0);
}

void FrmConvertImage::OnFileFinished(int, quint64 rowId, const TFileOutcome& outcome) {
  int state = kJobFailed;
  if (outcome.Result == kJobComplete) {
    state = kJobComplete;
    ++converted_;
  } else if (outcome.Result == kJobOpenFailed) {
    state = StatusOfOpenFailure(outcome.Problem);
    ++failed_;
  } else if (outcome.Problem == TJobProblem::Cancelled) {
    state = kStatusCancelled;
    ++cancelled_;
  } else {
    ++failed_;
  }
  model_->SetResult(rowId, state, outcome.Reason, outcome.PageNotes, outcome.OutputFolder, outcome.PageCount);
  if (outcome.Result != kJobOpenFailed) {
    for (const TConvertTask& task : runTasks_) {
      if (task.RowId != rowId) continue;
      model_->SetOpenedWith(rowId, task.Password);
      // Drawn once the run is over, for a file that opened only now.
      thumbnails_->Request(task.SourceFolder + task.FileName, task.Password);
    }
  }
  if (!outcome.OutputFolder.isEmpty()) lastOutputFolder_ = outcome.OutputFolder;
  runProgress_[rowId] = 100;
  ShowOverallProgress();
}

QString FrmConvertImage::ResultLine() const { return resultBar_->isHidden() ? QString() : resultText_->text(); }

void FrmConvertImage::ShowResultLine() {
  resultText_->setText(ResultLineText(language_, converted_, failed_, cancelled_, skipped_));
  openResult_->setText(WindowText(language_, TWindowText::OpenOutputFolder));
  openResult_->setEnabled(!lastOutputFolder_.isEmpty());
  openResult_->setToolTip(lastOutputFolder_);
  openResult_->show();
  resultBar_->show();
}

void FrmConvertImage::OnAllDone() {
  // Rows a cancelled run never reached say so.
  for (const TConvertTask& task : runTasks_) {
    const int row = model_->RowOfId(task.RowId);
    if (row >= 0 && model_->Row(row).State == kStatusReady) {
      model_->SetState(task.RowId, kStatusSkipped);
      ++skipped_;
    }
  }
  // With one chosen output folder, its button opens that folder rather than the last file's.
  if (!lastOutputFolder_.isEmpty() && !runCustomFolder_.isEmpty()) lastOutputFolder_ = WithSlash(runCustomFolder_);
  converting_ = false;
  UpdateCommandStates();
  panelProcess_->hide();
  overall_->setValue(0);
  fileName_->clear();
  currentRow_ = 0;
  ShowResultLine();
  thumbnails_->SetPaused(false);
  emit ConversionFinished();
}

void FrmConvertImage::dragEnterEvent(QDragEnterEvent* event) {
  if (!converting_ && !DroppedPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
  else event->ignore();
}

void FrmConvertImage::dropEvent(QDropEvent* event) {
  const QStringList paths = DroppedPaths(event->mimeData());
  if (converting_ || paths.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  DropFiles(paths);
}

void FrmConvertImage::closeEvent(QCloseEvent* event) {
  if (converting_ && !Ask(WindowText(language_, TWindowText::AskClose))) {
    event->ignore();
    return;
  }
  setAcceptDrops(false);
  // A running conversion stops after its current page; the destructor waits for it.
  cancel_->store(true);
  QMainWindow::closeEvent(event);
}

}  // namespace plover
