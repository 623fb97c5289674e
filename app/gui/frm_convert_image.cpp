#include "app/gui/frm_convert_image.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
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
#include <QTimer>
#include <QToolButton>

#include "app/convert_plan.h"
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
  if (!options_.Job) options_.Job = &RunConversionJob;

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

  // The specified size is the default and the least; the list takes any room beyond it.
  const QSize client(689, 534);
  const QSize size =
      QSize(client.width(), client.height() + menuBar()->sizeHint().height()).expandedTo(minimumSizeHint());
  setMinimumSize(size);
  resize(size);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
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
  connect(actHome_, &QAction::triggered, this, [this] { OpenUrl(QUrl(ProductInfo(language_).HomePage)); });
  connect(actUpdate_, &QAction::triggered, this, [this] { OpenUrl(QUrl(ProductInfo(language_).ProgramPage)); });
  connect(actAbout_, &QAction::triggered, this, &FrmConvertImage::OnAbout);
  connect(actRun_, &QAction::triggered, this, &FrmConvertImage::Convert);
  connect(cancelButton_, &QPushButton::clicked, this, &FrmConvertImage::CancelConversion);
  connect(removeKey_, &QAction::triggered, this, &FrmConvertImage::OnRemove);
  connect(openResult_, &QPushButton::clicked, this, [this] {
    if (!lastOutputFolder_.isEmpty()) OpenLocalPath(lastOutputFolder_);
  });
  connect(select_, &QToolButton::clicked, this, &FrmConvertImage::OnSelectFolder);
  connect(openFolder_, &QToolButton::clicked, this, [this] { OpenLocalPath(path_->text().trimmed()); });
  connect(same_, &QRadioButton::clicked, this, &FrmConvertImage::OnOutputChoice);
  connect(custom_, &QRadioButton::clicked, this, &FrmConvertImage::OnOutputChoice);
  connect(languageItems_, &QActionGroup::triggered, this, &FrmConvertImage::OnLanguageItem);
  connect(overlayTimer_, &QTimer::timeout, this, &FrmConvertImage::HideOverlay);
  connect(panelHP_, &TGettingStartedPanel::Clicked, this, &FrmConvertImage::HideOverlay);

  connect(list_, &QWidget::customContextMenuRequested, this, &FrmConvertImage::ShowListMenu);
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
  connect(worker_, &TConvertWorker::FileProgress, current_, &QProgressBar::setValue);
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
  language_ = settings.Language == -1 ? LanguageFromLocale(options_.Locale) : settings.Language;
  model_->SetLanguage(language_);
  if (!QFileInfo(LanguageFolder()).isDir()) {
    if (language_ == 1) WriteLanguageFiles(QFile::encodeName(LanguageFolder()).toStdString());
    else menuLanguage_->menuAction()->setVisible(false);
  }
  ApplyProductTexts();
  if (language_ == 1 && !ApplyLanguage(this, LanguageFolder(), QLatin1String(kLanguageFileNames[1]), messages_)) {
    // No file could be written: the window still speaks the language it reports.
    ApplyBuiltInTexts(1);
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
  guide_->SetUrl(QUrl(info.HelpPage));
  guide_->setVisible(true);
}

void FrmConvertImage::TickLanguageItem() {
  for (QAction* item : languageItems_->actions()) item->setChecked(item->data().toInt() == language_);
}

void FrmConvertImage::SaveSettings() {
  TSettings settings;
  settings.Language = language_;
  settings.OutputFolder = QFile::encodeName(outputFolder_).toStdString();
  settings.CustomFolder = customFolderStored_;
  WriteSettings(QFile::encodeName(SettingsPath()).toStdString(), settings);
}

void FrmConvertImage::UpdateCommandStates() {
  const bool idle = !converting_;
  for (QAction* action : {actAdd_, actDelete_, actClear_, actRun_}) action->setEnabled(idle);
  list_->SetChangesEnabled(idle);
  // The choices of a running conversion are fixed when it starts.
  settingsGroup_->setEnabled(idle);
  passPanel_->PasswordField()->setEnabled(idle);
}

void FrmConvertImage::ShowMessage(int index) {
  QMessageBox box(QMessageBox::Warning, appTitle_, messages_.value(index), QMessageBox::Ok, this);
  box.exec();
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
  return model_->AddFileRow(path, passPanel_->PasswordField()->text().trimmed());
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
  for (const QString& path : paths)
    if (IsAcceptedFile(path) && !QFileInfo(path).isDir()) AddFileRow(path);
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

void FrmConvertImage::OnRemove() {
  HideOverlay();
  if (converting_) return;
  model_->RemoveRows(list_->SelectedRows());
}

void FrmConvertImage::OnClear() {
  HideOverlay();
  if (converting_) return;
  model_->Clear();
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
  ApplyLanguage(this, folder, QLatin1String(kLanguageFileNames[index]), messages_);
  model_->SetLanguage(index);
  if (!resultBar_->isHidden()) ShowResultLine();
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
  const bool custom = custom_->isChecked();
  const std::string customFolder = QFile::encodeName(path_->text().trimmed()).toStdString();
  QList<TConvertTask> tasks;
  // Two files of the same name going to one folder get "name" and "name (2)".
  TFolderClaims claims;
  for (int row = 0; row < model_->rowCount(); ++row) {
    const TFileRow& r = model_->Row(row);
    if (!r.Checked) continue;
    const std::string out = claims.Claim(custom ? customFolder : QFile::encodeName(r.Folder).toStdString(),
                                         FolderNameFor(QFile::encodeName(r.Name).toStdString()));
    tasks.push_back(TConvertTask{r.Id, r.Folder, r.Name, QFile::decodeName(out.c_str()) + QLatin1Char('/')});
  }
  TConvertSettings settings;
  settings.Password = passPanel_->PasswordField()->text().trimmed();
  settings.FormatIndex = format_->currentIndex();
  settings.ScaleIndex = quality_->currentIndex();

  total_ = static_cast<int>(tasks.size());
  converted_ = failed_ = 0;
  lastOutputFolder_.clear();
  resultBar_->hide();
  converting_ = true;
  cancel_->store(false);
  UpdateCommandStates();
  cancelButton_->setEnabled(true);
  current_->setValue(0);
  panelProcess_->show();
  panelProcess_->raise();
  TConvertWorker* worker = worker_;
  QMetaObject::invokeMethod(worker_, [worker, tasks, settings] { worker->Run(tasks, settings); },
                            Qt::QueuedConnection);
}

void FrmConvertImage::CancelConversion() {
  if (!converting_) return;
  cancel_->store(true);
  cancelButton_->setEnabled(false);
}

void FrmConvertImage::OnFileStarted(int n, quint64 rowId) {
  current_->setValue(0);
  overall_->setValue(ProgressAtFileStart(n, total_));
  const int row = model_->RowOfId(rowId);
  fileName_->setText(row >= 0 ? model_->Row(row).Name : QString());
}

void FrmConvertImage::OnFileFinished(int n, quint64 rowId, int result, const QString& reason,
                                     const QString& outputFolder, int pageCount) {
  model_->SetResult(rowId, result, reason, outputFolder, pageCount);
  if (result == kJobComplete) ++converted_;
  else ++failed_;
  if (!outputFolder.isEmpty()) lastOutputFolder_ = outputFolder;
  overall_->setValue(ProgressAtFileEnd(n, total_));
}

QString FrmConvertImage::ResultLine() const { return resultBar_->isHidden() ? QString() : resultText_->text(); }

void FrmConvertImage::ShowResultLine() {
  if (language_ == 0) {
    resultText_->setText(failed_ == 0 ? QString::fromUtf8("已转换 %1 个").arg(converted_)
                                      : QString::fromUtf8("已转换 %1 个，失败 %2 个").arg(converted_).arg(failed_));
    openResult_->setText(QString::fromUtf8("打开输出文件夹"));
  } else {
    resultText_->setText(failed_ == 0 ? QStringLiteral("%1 converted").arg(converted_)
                                      : QStringLiteral("%1 converted, %2 failed").arg(converted_).arg(failed_));
    openResult_->setText(QStringLiteral("Open output folder"));
  }
  openResult_->setEnabled(!lastOutputFolder_.isEmpty());
  openResult_->setToolTip(lastOutputFolder_);
  resultBar_->show();
}

void FrmConvertImage::OnAllDone() {
  converting_ = false;
  UpdateCommandStates();
  panelProcess_->hide();
  overall_->setValue(0);
  fileName_->clear();
  ShowResultLine();
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
  setAcceptDrops(false);
  // A running conversion stops after its current page; the destructor waits for it.
  cancel_->store(true);
  QMainWindow::closeEvent(event);
}

}  // namespace plover
