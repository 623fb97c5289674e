#pragma once
// The file list "VTS": full-row multi-selection, check boxes, rows reordered by dragging, and
// files dropped from the file manager.
#include <QList>
#include <QStringList>
#include <QTreeView>

#include "app/gui/widgets/check_header.h"
#include "app/gui/widgets/file_list_model.h"

namespace plover {

class TFileListView : public QTreeView {
  Q_OBJECT
 public:
  explicit TFileListView(QWidget* parent = nullptr);

  // Attaches the model and sets the columns' widths and visibility.
  void SetFileModel(TFileListModel* model);
  TFileListModel* FileModel() const { return model_; }
  TCheckHeader* CheckHeader() const { return header_; }

  // The focused row, or -1. A right click focuses the row under the mouse (and selects it
  // unless it is part of the selection), so the list menu acts on that row.
  int FocusedRow() const;
  // Selected rows in list order.
  QList<int> SelectedRows() const;

  // Whether a row drag from inside the list may move rows to `target`.
  bool CanDropRowsOn(int target) const;
  // Moves the selected rows in front of `target` when allowed; returns whether it did.
  bool DropRowsOn(int target);

  // Turned off while a conversion runs.
  void SetChangesEnabled(bool enabled) { changesEnabled_ = enabled; }
  bool ChangesEnabled() const { return changesEnabled_; }

 signals:
  void FilesDropped(const QStringList& paths);
  // The list menu is asked for at `position`, in the viewport's coordinates (those of indexAt).
  void MenuRequested(const QPoint& position);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool IsOwnRowDrag(const QDropEvent* event) const;
  TFileListModel* model_ = nullptr;
  TCheckHeader* header_;
  bool changesEnabled_ = true;
  int dropRow_ = -1;
};

// Local file paths of a drop (URLs that are not local files are left out).
QStringList DroppedPaths(const QMimeData* mime);

}  // namespace plover
