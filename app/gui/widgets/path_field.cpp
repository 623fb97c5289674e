#include "app/gui/widgets/path_field.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace plover {

TPathField::TPathField(QWidget* parent) : QLineEdit(parent) {
  setReadOnly(true);
  connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { setToolTip(text); });
}

QRect TPathField::TextRect() const {
  QStyleOptionFrame option;
  initStyleOption(&option);
  // QLineEdit keeps two pixels between its contents and the text.
  return style()->subElementRect(QStyle::SE_LineEditContents, &option, this).marginsRemoved(textMargins()).adjusted(2, 0, -2, 0);
}

QString TPathField::ShownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideRight, TextRect().width());
}

void TPathField::paintEvent(QPaintEvent* event) {
  // With the focus the field scrolls and selects as usual, so the path can be copied.
  if (hasFocus()) {
    QLineEdit::paintEvent(event);
    return;
  }
  QPainter painter(this);
  QStyleOptionFrame option;
  initStyleOption(&option);
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
  painter.drawText(TextRect(), Qt::AlignVCenter | Qt::AlignLeft, ShownText());
}

}  // namespace plover
