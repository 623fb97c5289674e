#include "app/gui/widgets/check_header.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace plover {

TCheckHeader::TCheckHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setObjectName(QStringLiteral("VTSHeader"));
  setSectionsClickable(true);
  setHighlightSections(false);
}

void TCheckHeader::SetIndicator(Qt::CheckState state) {
  if (state == indicator_) return;
  indicator_ = state;
  viewport()->update();
}

void TCheckHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  painter->save();
  QHeaderView::paintSection(painter, rect, logicalIndex);
  painter->restore();
  if (logicalIndex != 0) return;
  QStyleOptionButton box;
  const QSize size(style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this),
                   style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this));
  box.rect = QRect(rect.center() - QPoint(size.width() / 2, size.height() / 2), size);
  box.state = QStyle::State_Enabled;
  box.state |= indicator_ == Qt::Checked     ? QStyle::State_On
               : indicator_ == Qt::Unchecked ? QStyle::State_Off
                                             : QStyle::State_NoChange;
  style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, this);
}

void TCheckHeader::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && logicalIndexAt(event->position().toPoint()) == 0) {
    emit IndicatorClicked();
    event->accept();
    return;
  }
  QHeaderView::mousePressEvent(event);
}

}  // namespace plover
