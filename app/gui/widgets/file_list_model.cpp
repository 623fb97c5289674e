#include "app/gui/widgets/file_list_model.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QStyle>
#include <algorithm>
#include <cstring>
#include <exception>

#include "app/conversion_job.h"
#include "app/gui/widgets/file_size_text.h"
#include "app/gui/widgets/thumbnail_cache.h"
#include "app/status_text.h"

namespace plover {

namespace {

// Reasons in the words of the interface; the engine's details stay as they are.
QString ReasonText(const QString& reason, int language) {
  if (language != 0) return reason;
  static const std::pair<const char*, const char*> kChinese[] = {
      {"wrong password", "密码错误"},
      {"no such file", "文件不存在"},
      {"not a PDF file", "不是PDF文件"},
      {"damaged file", "文件已损坏"},
      {"cancelled after page", "已取消，完成页数"},
      {"the document has no pages", "文档没有页面"},
  };
  for (const auto& [english, chinese] : kChinese)
    if (reason.startsWith(QLatin1String(english)))
      return QString::fromUtf8(chinese) + reason.mid(static_cast<int>(std::strlen(english)));
  return reason;
}

}  // namespace

int StatusOfOpenFailure(TJobProblem problem) {
  switch (problem) {
    case TJobProblem::NotPdf: return kStatusNotPdf;
    case TJobProblem::NoSuchFile: return kStatusNotFound;
    case TJobProblem::Damaged:
    case TJobProblem::NoPages: return kStatusDamaged;
    case TJobProblem::Unreadable: return kJobFailed;
    default: return kJobOpenFailed;
  }
}

TFileListModel::TFileListModel(QObject* parent)
    : QAbstractTableModel(parent),
      countPages_([](const std::string& path, const std::string& password, TJobReport& report) {
        return CountPages(path, password, report);
      }) {
  connect(this, &QAbstractItemModel::rowsInserted, this, &TFileListModel::ContentChanged);
  connect(this, &QAbstractItemModel::rowsRemoved, this, &TFileListModel::ContentChanged);
  connect(this, &QAbstractItemModel::modelReset, this, &TFileListModel::ContentChanged);
  connect(this, &QAbstractItemModel::dataChanged, this, &TFileListModel::ContentChanged);
}

int TFileListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_.size(); }

int TFileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant TFileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_.size()) return {};
  const TFileRow& row = rows_.at(index.row());
  if (role == Qt::CheckStateRole && index.column() == kColCheck) return row.Checked ? Qt::Checked : Qt::Unchecked;
  const QImage thumbnail = thumbnails_ ? thumbnails_->Thumbnail(row.Folder + row.Name) : QImage();
  if (role == Qt::DecorationRole && index.column() == kColName)
    // An icon, so that the list draws it at its icon size.
    return thumbnail.isNull() ? icons_.IconFor(row.Name) : QIcon(QPixmap::fromImage(thumbnail));
  if (role == Qt::ToolTipRole && index.column() == kColName && !thumbnail.isNull()) {
    // The page itself, above the path.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    thumbnail.save(&buffer, "PNG");
    return QStringLiteral("<img src=\"data:image/png;base64,%1\"><br>%2")
        .arg(QString::fromLatin1(png.toBase64()), (row.Folder + row.Name).toHtmlEscaped());
  }
  // A file that completed with pages drawn only in part carries a warning sign beside
  // "Complete"; its tooltip says what was left out.
  if (role == Qt::DecorationRole && index.column() == kColStatus && row.State == kJobComplete && !row.Notes.isEmpty())
    return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
  if (role == Qt::ToolTipRole && (index.column() == kColName || index.column() == kColPath))
    return row.Folder + row.Name;
  if (role == Qt::ToolTipRole && index.column() == kColStatus) {
    QStringList lines;
    if (!row.Reason.isEmpty()) lines << ReasonText(row.Reason, language_);
    // The engine's notes on incompletely drawn pages; the first ones speak for the rest.
    constexpr int kShownNotes = 8;
    lines << row.Notes.mid(0, kShownNotes);
    if (row.Notes.size() > kShownNotes) lines << QStringLiteral("…");
    if (!row.OutputFolder.isEmpty()) lines << QStringLiteral("→ ") + row.OutputFolder;
    return lines.isEmpty() ? QVariant() : QVariant(lines.join(QLatin1Char('\n')));
  }
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case kColName: return row.Name;
    case kColSize: return row.Size;
    case kColPages: return row.Pages;
    case kColStatus: return QString::fromStdString(StatusText(language_, row.State));
    case kColPath: return row.Folder;
    case kColNote: return row.Note;
    case kColSpare: return row.Spare;
    default: return {};
  }
}

bool TFileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.column() != kColCheck || role != Qt::CheckStateRole) return false;
  SetChecked(index.row(), value.toInt() == Qt::Checked);
  return true;
}

Qt::ItemFlags TFileListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
  if (index.column() == kColCheck) f |= Qt::ItemIsUserCheckable;
  return f;
}

QVariant TFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  if (role == Qt::DisplayRole) return headers_[section];
  return {};
}

bool TFileListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role) {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount || role != Qt::DisplayRole)
    return false;
  headers_[section] = value.toString();
  emit headerDataChanged(orientation, section, section);
  return true;
}

int TFileListModel::IndexOf(const QString& name, const QString& folder) const {
  for (int i = 0; i < rows_.size(); ++i)
    if (rows_.at(i).Name == name && rows_.at(i).Folder == folder) return i;
  return -1;
}

bool TFileListModel::AddFileRow(const QString& path, const QString& password) {
  const QFileInfo info(path);
  TFileRow row;
  row.Name = info.fileName();
  row.Folder = info.absolutePath();
  if (!row.Folder.endsWith(QLatin1Char('/'))) row.Folder += QLatin1Char('/');
  if (row.Name.isEmpty()) return false;
  const int listed = IndexOf(row.Name, row.Folder);
  // A listed file is ignored, unless it failed to open: then it is tried again with the
  // password typed now.
  if (listed >= 0 && rows_.at(listed).Opened) return false;
  row.Size = FormatSizeText(info.exists() ? info.size() : -1, locale_);
  if (row.Name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
    TJobReport report;
    int count = 0;
    try {
      count = countPages_(QFile::encodeName(row.Folder + row.Name).toStdString(), password.toStdString(), report);
    } catch (const std::exception& e) {
      // An unreadable file is listed like a file that does not open.
      count = 0;
      report.Problem = TJobProblem::Unreadable;
      report.Reason = e.what();
    }
    row.Pages = QString::number(count);
    row.Opened = count != 0;
    row.Password = row.Opened ? password : QString();
    row.State = row.Opened ? kStatusReady : StatusOfOpenFailure(report.Problem);
    if (!row.Opened) row.Reason = QString::fromStdString(report.Reason);
  }
  if (listed >= 0) {
    TFileRow& old = rows_[listed];
    old.Size = row.Size;
    old.Pages = row.Pages;
    old.State = row.State;
    old.Reason = row.Reason;
    old.Opened = row.Opened;
    old.Password = row.Password;
    emit dataChanged(index(listed, kColSize), index(listed, kColStatus));
    return true;
  }
  row.Id = nextId_++;
  const int at = rows_.size();
  beginInsertRows(QModelIndex(), at, at);
  rows_.push_back(row);
  endInsertRows();
  return true;
}

void TFileListModel::SetThumbnails(TThumbnailCache* thumbnails) {
  thumbnails_ = thumbnails;
  connect(thumbnails, &TThumbnailCache::ThumbnailReady, this, [this](const QString& path) {
    for (int i = 0; i < rows_.size(); ++i)
      if (rows_.at(i).Folder + rows_.at(i).Name == path) emit dataChanged(index(i, kColName), index(i, kColName));
  });
}

void TFileListModel::SetLanguage(int language) {
  if (language == language_) return;
  language_ = language;
  if (!rows_.isEmpty()) emit dataChanged(index(0, kColStatus), index(rows_.size() - 1, kColStatus));
}

QString TFileListModel::StatusOf(int row) const {
  return row >= 0 && row < rows_.size() ? QString::fromStdString(StatusText(language_, rows_.at(row).State)) : QString();
}

int TFileListModel::RowOfId(quint64 id) const {
  for (int i = 0; i < rows_.size(); ++i)
    if (rows_.at(i).Id == id) return i;
  return -1;
}

void TFileListModel::SetResult(quint64 id, int state, const QString& reason, const QStringList& notes,
                               const QString& outputFolder, int pageCount) {
  const int row = RowOfId(id);
  if (row < 0) return;
  TFileRow& r = rows_[row];
  r.State = state;
  r.Reason = reason;
  r.Notes = notes;
  r.OutputFolder = outputFolder;
  // A file that opened only at conversion time (its password typed later) gets its count.
  if (pageCount > 0) r.Pages = QString::number(pageCount);
  emit dataChanged(index(row, kColPages), index(row, kColStatus));
}

void TFileListModel::SetState(quint64 id, int state) { SetResult(id, state, QString(), {}, QString(), 0); }

void TFileListModel::SetOpenedWith(quint64 id, const QString& password) {
  const int row = RowOfId(id);
  if (row < 0) return;
  rows_[row].Opened = true;
  rows_[row].Password = password;
}

void TFileListModel::SetChecked(int row, bool checked) {
  if (row < 0 || row >= rows_.size() || rows_.at(row).Checked == checked) return;
  rows_[row].Checked = checked;
  emit dataChanged(index(row, kColCheck), index(row, kColCheck), {Qt::CheckStateRole});
}

void TFileListModel::RemoveRows(const QList<int>& rows) {
  QList<int> sorted = rows;
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  // From the bottom up, so earlier removals do not shift later ones.
  for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
    if (*it < 0 || *it >= rows_.size()) continue;
    beginRemoveRows(QModelIndex(), *it, *it);
    rows_.removeAt(*it);
    endRemoveRows();
  }
}

void TFileListModel::Clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

int TFileListModel::CheckedCount() const {
  return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const TFileRow& r) { return r.Checked; }));
}

Qt::CheckState TFileListModel::SelectAllState() const {
  const int checked = CheckedCount();
  if (rows_.isEmpty() || checked == 0) return Qt::Unchecked;
  return checked == rows_.size() ? Qt::Checked : Qt::PartiallyChecked;
}

void TFileListModel::ToggleAllChecks() {
  const bool check = CheckedCount() != rows_.size();
  for (TFileRow& row : rows_) row.Checked = check;
  if (!rows_.isEmpty()) emit dataChanged(index(0, kColCheck), index(rows_.size() - 1, kColCheck), {Qt::CheckStateRole});
}

void TFileListModel::MoveRowsBefore(QList<int> rows, int target) {
  if (target < 0 || target >= rows_.size()) return;
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  // Work on row positions: order[i] is the old row now at position i.
  QVector<int> order(rows_.size());
  for (int i = 0; i < order.size(); ++i) order[i] = i;
  for (int moving : rows) {
    if (moving < 0 || moving >= rows_.size() || moving == target) continue;
    order.removeOne(moving);
    order.insert(order.indexOf(target), moving);
  }
  QVector<int> newPosition(order.size());
  for (int i = 0; i < order.size(); ++i) newPosition[order[i]] = i;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& idx : before) after.push_back(index(newPosition[idx.row()], idx.column()));
  QVector<TFileRow> moved;
  moved.reserve(rows_.size());
  for (int old : order) moved.push_back(rows_.at(old));
  rows_ = std::move(moved);
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
  emit ContentChanged();
}

}  // namespace plover
