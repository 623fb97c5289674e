// Construction of the main window's controls; their texts come from the language tables.
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/conversion_job.h"
#include "app/gui/widgets/file_list_model.h"
#include "app/gui/widgets/file_list_view.h"
#include "app/gui/frm_convert_image.h"
#include "app/gui/widgets/getting_started_panel.h"
#include "app/gui/widgets/link_label.h"
#include "app/gui/widgets/overlay_host.h"
#include "app/gui/widgets/password_panel.h"
#include "app/gui/widgets/path_field.h"
#include "app/gui/widgets/thumbnail_cache.h"
#include "app/settings_file.h"
#include "app/gui/theme.h"

namespace plover {

namespace {

QAction* MakeAction(QObject* owner, const char* name, const char* icon, QStyle::StandardPixmap fallback) {
  auto* action = new QAction(owner);
  action->setObjectName(QString::fromLatin1(name));
  if (icon) action->setIcon(ThemeIcon(icon, fallback));
  return action;
}

QLabel* MakeLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name) {
  auto* group = new QGroupBox(parent);
  group->setObjectName(QString::fromLatin1(name));
  return group;
}

}  // namespace

void FrmConvertImage::BuildActions() {
  actAdd_ = MakeAction(this, "ActAdd", "list-add", QStyle::SP_DialogOpenButton);
  actDelete_ = MakeAction(this, "ActDelete", "list-remove", QStyle::SP_TrashIcon);
  actClear_ = MakeAction(this, "ActClear", "edit-clear", QStyle::SP_DialogResetButton);
  actHelp_ = MakeAction(this, "ActHelp", "help-browser", QStyle::SP_DialogHelpButton);
  actHome_ = MakeAction(this, "ActHome", "go-home", QStyle::SP_DirHomeIcon);
  actUpdate_ = MakeAction(this, "ActUpdate", "system-software-update", QStyle::SP_BrowserReload);
  actAbout_ = MakeAction(this, "ActAbout", "dialog-information", QStyle::SP_MessageBoxInformation);
  actRun_ = MakeAction(this, "ActRun", "media-playback-start", QStyle::SP_MediaPlay);
  actAddFolder_ = MakeAction(this, "ActAddFolder", "folder-new", QStyle::SP_FileDialogNewFolder);
  actAdd_->setShortcut(QKeySequence::Open);
  actAddFolder_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  // The maker's home and program pages are not reachable from an installed copy: the
  // commands stay for the language files but are shown nowhere.
  actHome_->setVisible(false);
  actUpdate_->setVisible(false);
  // Escape asks to stop a running conversion.
  escapeKey_ = new QAction(this);
  escapeKey_->setShortcut(QKeySequence(Qt::Key_Escape));
  escapeKey_->setShortcutContext(Qt::WindowShortcut);
  escapeKey_->setEnabled(false);
  addAction(escapeKey_);
}

void FrmConvertImage::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QString());
  file->setObjectName(QStringLiteral("M1"));
  file->addAction(actAdd_);
  file->addAction(actAddFolder_);
  file->addSeparator();
  file->addAction(actDelete_);
  file->addAction(actClear_);

  QMenu* help = menuBar()->addMenu(QString());
  help->setObjectName(QStringLiteral("M2"));
  help->addAction(actHelp_);
  help->addAction(actUpdate_);
  help->addAction(actHome_);
  help->addSeparator();
  help->addAction(actAbout_);

  // The language menu reads the same in both languages.
  menuLanguage_ = menuBar()->addMenu(QStringLiteral("Language"));
  menuLanguage_->setObjectName(QStringLiteral("ML"));
  languageItems_ = new QActionGroup(this);
  languageItems_->setExclusive(true);
  QAction* english = menuLanguage_->addAction(QStringLiteral("English"));
  english->setObjectName(QStringLiteral("English1"));
  english->setData(1);
  QAction* chinese = menuLanguage_->addAction(QString::fromUtf8("简体中文"));
  chinese->setObjectName(QStringLiteral("SimplifiedChinese1"));
  chinese->setData(0);
  for (QAction* item : {english, chinese}) {
    item->setCheckable(true);
    languageItems_->addAction(item);
  }
}

void FrmConvertImage::BuildToolbar() {
  QToolBar* bar = addToolBar(QStringLiteral("ToolBar1"));
  bar->setObjectName(QStringLiteral("ToolBar1"));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setIconSize(QSize(32, 32));
  bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  bar->setContextMenuPolicy(Qt::PreventContextMenu);
  bar->addAction(actAdd_);
  bar->addAction(actAddFolder_);
  bar->addAction(actDelete_);
  bar->addAction(actClear_);
  bar->addSeparator();
  bar->addAction(actHelp_);
  auto* spacer = new QWidget(bar);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  bar->addWidget(spacer);
  guide_ = new TLinkLabel(bar);
  guide_->setObjectName(QStringLiteral("LGuid"));
  bar->addWidget(guide_);
}

void FrmConvertImage::BuildCentral() {
  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("Central"));
  setCentralWidget(central);

  // The file list with the overlays drawn over it.
  auto* listGroup = MakeGroup(central, "FileGrpList");
  auto* host = new TOverlayHost(listGroup);
  model_ = new TFileListModel(this);
  model_->SetLocale(options_.Locale);
  thumbnails_ = new TThumbnailCache(options_.CacheFolder, this);
  model_->SetThumbnails(thumbnails_);
  list_ = new TFileListView(host);
  list_->SetFileModel(model_);
  host->AddFilling(list_);
  panelHP_ = new TGettingStartedPanel(host);
  host->AddFilling(panelHP_);

  panelProcess_ = new QFrame(host);
  panelProcess_->setObjectName(QStringLiteral("PanelProcess"));
  static_cast<QFrame*>(panelProcess_)->setFrameShape(QFrame::StyledPanel);
  panelProcess_->setAutoFillBackground(true);
  auto* process = MakeGroup(panelProcess_, "GBProcess");
  overall_ = new QProgressBar(process);
  overall_->setObjectName(QStringLiteral("PbrPreview"));
  overall_->setRange(0, 100);
  overall_->setValue(0);
  current_ = new QProgressBar(process);
  current_->setObjectName(QStringLiteral("CurPB"));
  current_->setRange(0, 100);
  current_->setValue(0);
  fileName_ = MakeLabel(process, "LabFName");
  fileName_->setMinimumWidth(60);
  fileName_->setTextFormat(Qt::PlainText);
  cancelButton_ = new QPushButton(process);
  cancelButton_->setObjectName(QStringLiteral("BTNCancel"));
  cancelButton_->setIcon(ThemeIcon("process-stop", QStyle::SP_BrowserStop));
  auto* processGrid = new QGridLayout(process);
  processGrid->addWidget(MakeLabel(process, "LabTotalProcess"), 0, 0);
  processGrid->addWidget(overall_, 0, 1, 1, 2);
  processGrid->addWidget(MakeLabel(process, "LabCurFile"), 1, 0);
  processGrid->addWidget(fileName_, 1, 1, 1, 2);
  processGrid->addWidget(current_, 2, 1, 1, 2);
  processGrid->addWidget(cancelButton_, 3, 2, Qt::AlignRight);
  processGrid->setColumnStretch(1, 1);
  auto* processLayout = new QVBoxLayout(panelProcess_);
  processLayout->setContentsMargins(8, 8, 8, 8);
  processLayout->addWidget(process);
  host->AddCentred(panelProcess_, 0.72);
  panelProcess_->hide();

  // Delete and Backspace on the list remove the selected rows (not in the password field).
  removeKey_ = new QAction(list_);
  removeKey_->setShortcuts({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)});
  removeKey_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  list_->addAction(removeKey_);

  // The outcome of the last run, with a button that opens its output folder.
  resultBar_ = new QFrame(listGroup);
  resultBar_->setObjectName(QStringLiteral("ResultBar"));
  resultText_ = MakeLabel(resultBar_, "LabResult");
  resultText_->setTextFormat(Qt::PlainText);
  openResult_ = new QPushButton(resultBar_);
  openResult_->setObjectName(QStringLiteral("BTNOpenResult"));
  openResult_->setIcon(ThemeIcon("folder-open", QStyle::SP_DirOpenIcon));
  auto* resultRow = new QHBoxLayout(resultBar_);
  resultRow->setContentsMargins(2, 0, 2, 0);
  resultRow->addWidget(resultText_, 1);
  resultRow->addWidget(openResult_);
  resultBar_->hide();

  auto* listLayout = new QVBoxLayout(listGroup);
  listLayout->setContentsMargins(6, 4, 6, 6);
  listLayout->addWidget(host, 1);
  listLayout->addWidget(resultBar_);

  passPanel_ = new TPasswordPanel(central);

  // Conversion and output settings with the Convert button.
  settingsGroup_ = MakeGroup(central, "OptionGrpBox");
  auto* formatGroup = MakeGroup(settingsGroup_, "GBNPass");
  format_ = new QComboBox(formatGroup);
  format_->setObjectName(QStringLiteral("CBFormat"));
  for (const char* caption : kFormatCaptions) format_->addItem(QString::fromLatin1(caption));
  format_->setCurrentIndex(1);
  quality_ = new QComboBox(formatGroup);
  quality_->setObjectName(QStringLiteral("CBQuality"));
  for (int percent = 25; percent <= 500; percent += 25) quality_->addItem(QStringLiteral("%1%").arg(percent));
  quality_->setCurrentIndex(3);
  quality_->setMaxVisibleItems(20);
  // The resolution follows the scale; typed in, it may lie between the scale's steps.
  dpi_ = new QSpinBox(formatGroup);
  dpi_->setObjectName(QStringLiteral("SEDpi"));
  dpi_->setRange(kMinDpi, kMaxDpi);
  dpi_->setValue(DpiForScaleIndex(3));
  dpi_->setAccelerated(true);
  jpegQuality_ = new QSpinBox(formatGroup);
  jpegQuality_->setObjectName(QStringLiteral("SEJpegQuality"));
  jpegQuality_->setRange(1, 100);
  jpegQuality_->setValue(75);
  pages_ = new QLineEdit(formatGroup);
  pages_->setObjectName(QStringLiteral("EPages"));
  pages_->setMaxLength(200);
  auto* formatGrid = new QGridLayout(formatGroup);
  formatGrid->addWidget(MakeLabel(formatGroup, "LabNewOPass"), 0, 0);
  formatGrid->addWidget(format_, 0, 1);
  formatGrid->addWidget(MakeLabel(formatGroup, "LabJpegQuality"), 0, 2);
  formatGrid->addWidget(jpegQuality_, 0, 3);
  formatGrid->addWidget(MakeLabel(formatGroup, "LabNewPPass"), 1, 0);
  formatGrid->addWidget(quality_, 1, 1);
  formatGrid->addWidget(MakeLabel(formatGroup, "LabDpi"), 1, 2);
  formatGrid->addWidget(dpi_, 1, 3);
  formatGrid->addWidget(MakeLabel(formatGroup, "LabPages"), 2, 0);
  formatGrid->addWidget(pages_, 2, 1, 1, 3);

  auto* outputGroup = MakeGroup(settingsGroup_, "GBOutPut");
  same_ = new QRadioButton(outputGroup);
  same_->setObjectName(QStringLiteral("RBsame"));
  same_->setChecked(true);
  custom_ = new QRadioButton(outputGroup);
  custom_->setObjectName(QStringLiteral("RBCustom"));
  path_ = new TPathField(outputGroup);
  path_->setObjectName(QStringLiteral("EPath"));
  path_->setMinimumWidth(80);
  select_ = new QToolButton(outputGroup);
  select_->setObjectName(QStringLiteral("BTNSelect"));
  select_->setIcon(ThemeIcon("folder", QStyle::SP_DirIcon));
  openFolder_ = new QToolButton(outputGroup);
  openFolder_->setObjectName(QStringLiteral("BTNOpen"));
  openFolder_->setIcon(ThemeIcon("folder-open", QStyle::SP_DirOpenIcon));
  auto* outputGrid = new QGridLayout(outputGroup);
  outputGrid->addWidget(same_, 0, 0, 1, 4);
  outputGrid->addWidget(custom_, 1, 0);
  outputGrid->addWidget(path_, 1, 1);
  outputGrid->addWidget(select_, 1, 2);
  outputGrid->addWidget(openFolder_, 1, 3);
  outputGrid->setColumnStretch(1, 1);

  run_ = new QToolButton(settingsGroup_);
  run_->setObjectName(QStringLiteral("BTNRun"));
  run_->setDefaultAction(actRun_);
  run_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  run_->setIconSize(QSize(24, 24));
  run_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
  run_->setCursor(Qt::PointingHandCursor);
  // Space activates it, so it takes focus and shows it.
  run_->setFocusPolicy(Qt::StrongFocus);

  // The Convert button under the output choice, so that the window keeps its width.
  auto* outputColumn = new QVBoxLayout;
  outputColumn->addWidget(outputGroup);
  outputColumn->addWidget(run_, 1);
  auto* settingsRow = new QHBoxLayout(settingsGroup_);
  settingsRow->setContentsMargins(6, 4, 6, 6);
  settingsRow->addWidget(formatGroup);
  settingsRow->addLayout(outputColumn, 1);

  auto* middle = new QHBoxLayout;
  middle->setSpacing(4);
  middle->addWidget(listGroup, 1);
  middle->addWidget(passPanel_);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(6, 4, 6, 6);
  layout->setSpacing(4);
  layout->addLayout(middle, 1);
  layout->addWidget(settingsGroup_);

  overlayTimer_ = new QTimer(this);
  overlayTimer_->setObjectName(QStringLiteral("TimerHP"));
  overlayTimer_->setSingleShot(true);
  overlayTimer_->setInterval(10000);
}

void FrmConvertImage::BuildListMenu() {
  listMenu_ = new QMenu(this);
  listMenu_->setObjectName(QStringLiteral("PopupMenu1"));
  pnAdd_ = MakeAction(this, "PN1", "list-add", QStyle::SP_DialogOpenButton);
  pnSelectAll_ = MakeAction(this, "PN3", "edit-select-all", QStyle::SP_DialogApplyButton);
  pnRemove_ = MakeAction(this, "PN5", "list-remove", QStyle::SP_TrashIcon);
  pnClear_ = MakeAction(this, "PN6", "edit-clear", QStyle::SP_DialogResetButton);
  pnOpen_ = MakeAction(this, "PN8", "document-open", QStyle::SP_DialogOpenButton);
  pnLocate_ = MakeAction(this, "PN9", "system-search", QStyle::SP_FileDialogContentsView);
  listMenu_->addAction(pnAdd_);
  listMenu_->addAction(actAddFolder_);
  listMenu_->addSeparator();
  listMenu_->addAction(pnSelectAll_);
  listMenu_->addSeparator();
  listMenu_->addAction(pnRemove_);
  listMenu_->addAction(pnClear_);
  listMenu_->addSeparator();
  listMenu_->addAction(pnOpen_);
  listMenu_->addAction(pnLocate_);
}

}  // namespace plover
