#include "app/gui/widgets/file_list_view.h"

#include <QDrag>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <algorithm>

namespace plover {

namespace {

const QString kRowsMime = QStringLiteral("application/x-plover-file-rows");

}  // namespace

QStringList DroppedPaths(const QMimeData* mime) {
  QStringList paths;
  if (!mime || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile() && !url.toLocalFile().isEmpty()) paths.push_back(url.toLocalFile());
  return paths;
}

TFileListView::TFileListView(QWidget* parent) : QTreeView(parent), header_(new TCheckHeader(this)) {
  setObjectName(QStringLiteral("VTS"));
  setHeader(header_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setAlternatingRowColors(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(false);
  setDragDropMode(QAbstractItemView::DragDrop);
  // Room for the first page's thumbnail.
  setIconSize(QSize(32, 32));
}

void TFileListView::SetFileModel(TFileListModel* model) {
  model_ = model;
  setModel(model);
  setColumnHidden(TFileListModel::kColNote, true);
  setColumnHidden(TFileListModel::kColSpare, true);
  header_->setSectionsMovable(true);
  header_->setMinimumSectionSize(20);
  const int widths[] = {25, 200, 60, 50, 150, 160};
  for (int c = 0; c < 6; ++c) header_->resizeSection(c, widths[c]);
  header_->setSectionResizeMode(TFileListModel::kColCheck, QHeaderView::Fixed);
  // The path column takes what is left, so that no column hides behind a scroll bar; a
  // stretched column never gets narrower than it was when stretching began.
  header_->resizeSection(TFileListModel::kColPath, 60);
  header_->setStretchLastSection(true);
}

int TFileListView::FocusedRow() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() : -1;
}

QList<int> TFileListView::SelectedRows() const {
  QList<int> rows;
  if (!selectionModel()) return rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

void TFileListView::contextMenuEvent(QContextMenuEvent* event) {
  // The scroll area hands this handler the position in the viewport's coordinates, unlike the
  // custom-menu signal, which gets it in the list's own (the header's height further down).
  emit MenuRequested(event->pos());
  event->accept();
}

void TFileListView::keyPressEvent(QKeyEvent* event) {
  // Space ticks or clears the focused row's check box, and the other selected rows with it.
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && model_ && FocusedRow() >= 0) {
    const int focused = FocusedRow();
    const bool check = !model_->Row(focused).Checked;
    QList<int> rows = SelectedRows();
    if (!rows.contains(focused)) rows = {focused};
    for (int row : rows) model_->SetChecked(row, check);
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
}

bool TFileListView::CanDropRowsOn(int target) const {
  if (!changesEnabled_ || !model_) return false;
  const int focused = FocusedRow();
  return focused >= 0 && target >= 0 && target < model_->rowCount() && target != focused;
}

bool TFileListView::DropRowsOn(int target) {
  if (!CanDropRowsOn(target)) return false;
  model_->MoveRowsBefore(SelectedRows(), target);
  return true;
}

void TFileListView::startDrag(Qt::DropActions) {
  if (!changesEnabled_ || SelectedRows().isEmpty()) return;
  auto* mime = new QMimeData;
  mime->setData(kRowsMime, QByteArray());
  // QDrag deletes itself after the drag; the rows move in dropEvent, never by the drag's result.
  auto* drag = new QDrag(this);
  drag->setMimeData(mime);
  drag->exec(Qt::MoveAction, Qt::MoveAction);
}

bool TFileListView::IsOwnRowDrag(const QDropEvent* event) const {
  return event->source() == this && event->mimeData()->hasFormat(kRowsMime);
}

void TFileListView::dragEnterEvent(QDragEnterEvent* event) {
  if (IsOwnRowDrag(event) || (!DroppedPaths(event->mimeData()).isEmpty() && changesEnabled_)) {
    event->acceptProposedAction();
    return;
  }
  event->ignore();
}

void TFileListView::dragMoveEvent(QDragMoveEvent* event) {
  if (IsOwnRowDrag(event)) {
    const int target = indexAt(event->position().toPoint()).row();
    const bool allowed = CanDropRowsOn(target);
    const int shown = allowed ? target : -1;
    if (shown != dropRow_) {
      dropRow_ = shown;
      viewport()->update();
    }
    if (allowed) event->acceptProposedAction();
    else event->ignore();
    return;
  }
  if (changesEnabled_ && !DroppedPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
  else event->ignore();
}

void TFileListView::dragLeaveEvent(QDragLeaveEvent* event) {
  dropRow_ = -1;
  viewport()->update();
  event->accept();
}

void TFileListView::dropEvent(QDropEvent* event) {
  dropRow_ = -1;
  viewport()->update();
  if (IsOwnRowDrag(event)) {
    if (DropRowsOn(indexAt(event->position().toPoint()).row())) event->acceptProposedAction();
    else event->ignore();
    return;
  }
  const QStringList paths = DroppedPaths(event->mimeData());
  if (!changesEnabled_ || paths.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit FilesDropped(paths);
}

void TFileListView::paintEvent(QPaintEvent* event) {
  QTreeView::paintEvent(event);
  if (dropRow_ < 0 || !model_) return;
  // A line above the row that the dragged rows will be put in front of.
  const QRect row = visualRect(model_->index(dropRow_, TFileListModel::kColName));
  QPainter painter(viewport());
  painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
  painter.drawLine(0, row.top(), viewport()->width(), row.top());
}

}  // namespace plover
