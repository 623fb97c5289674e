#pragma once
// The rows of the file list: one PDF file per row with its check box and seven text fields.
#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <QLocale>
#include <QString>
#include <QVector>
#include <functional>
#include <string>

#include "app/conversion_job.h"
#include "app/gui/widgets/file_icon_cache.h"

namespace plover {

struct TFileRow {
  QString Name;
  QString Size;
  QString Pages;
  // The status as a state (a StatusText position), shown in the current language.
  int State = kStatusReady;
  // Why the row failed ("wrong password", "damaged file: ..."), the engine's notes on pages it
  // could not draw completely, and where its images went; all shown in the status tooltip.
  QString Reason;
  QStringList Notes;
  QString OutputFolder;
  // The password the file opened with; empty also when it has not opened yet.
  QString Password;
  bool Opened = false;
  // The file's folder, ending in "/".
  QString Folder;
  QString Note;
  QString Spare;
  bool Checked = true;
  // Stable identity while rows move, so a conversion's result reaches the right row.
  quint64 Id = 0;
};

class TThumbnailCache;

// The status of a file that did not open: the password status where a password may be the
// cause, else the status that names the cause.
int StatusOfOpenFailure(TJobProblem problem);

class TFileListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum TColumn { kColCheck = 0, kColName, kColSize, kColPages, kColStatus, kColPath, kColNote, kColSpare, kColumnCount };

  // Page counter used for new rows: (full path in file-system encoding, password) -> count,
  // with the problem and its reason when it is 0.
  using TPageCounter = std::function<int(const std::string& path, const std::string& password, TJobReport& report)>;

  explicit TFileListModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role) override;

  // Adds the file `path` unless a row with the same name and folder exists; counts the pages of
  // a ".pdf" with `password`. A listed file whose row failed to open is counted again with
  // `password` instead. Returns true when a row was added or retried.
  bool AddFileRow(const QString& path, const QString& password);

  // Statuses are shown in this interface language.
  void SetLanguage(int language);
  QString StatusOf(int row) const;

  const TFileRow& Row(int row) const { return rows_.at(row); }
  int RowOfId(quint64 id) const;
  bool Contains(const QString& name, const QString& folder) const { return IndexOf(name, folder) >= 0; }
  // The row of the file `name` in `folder` (ending in "/"), or -1.
  int IndexOf(const QString& name, const QString& folder) const;
  // The outcome of a conversion: the state (a StatusText position), the reason of a failure,
  // the engine's page notes, the folder that received the images (empty when none) and the
  // page count found (0: unknown).
  void SetResult(quint64 id, int state, const QString& reason, const QStringList& notes, const QString& outputFolder,
                 int pageCount);
  // A state without a reason: Ready at the start of a run, Processing, Skipped.
  void SetState(quint64 id, int state);
  // The file opened with `password` during a conversion: the row keeps it.
  void SetOpenedWith(quint64 id, const QString& password);
  void SetChecked(int row, bool checked);

  // Deletes the given rows (any order, duplicates allowed).
  void RemoveRows(const QList<int>& rows);
  void Clear();

  int CheckedCount() const;
  // Unchecked when empty or nothing is checked, checked when all are, partly checked otherwise.
  Qt::CheckState SelectAllState() const;
  // Checks every row unless all are checked already, in which case it unchecks every row.
  void ToggleAllChecks();

  // Moves `rows`, taken in list order, one after another to just before row `target`, so they
  // end up together in their former order in front of it. Persistent indexes follow the rows.
  void MoveRowsBefore(QList<int> rows, int target);

  void SetPageCounter(TPageCounter counter) { countPages_ = std::move(counter); }
  // Rows show their file's first page, once rendered, in place of the file icon, and larger
  // as the name's tool tip.
  void SetThumbnails(TThumbnailCache* thumbnails);
  void SetLocale(const QLocale& locale) { locale_ = locale; }

 signals:
  // Any change of rows or check boxes (for the select-all indicator).
  void ContentChanged();

 private:
  QVector<TFileRow> rows_;
  QString headers_[kColumnCount];
  quint64 nextId_ = 1;
  TPageCounter countPages_;
  QLocale locale_;
  int language_ = 1;
  mutable TFileIconCache icons_;
  TThumbnailCache* thumbnails_ = nullptr;
};

}  // namespace plover
