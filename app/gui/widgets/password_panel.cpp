#include "app/gui/widgets/password_panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

#include "app/gui/theme.h"

namespace plover {

TPanelBar::TPanelBar(QGroupBox* group, QWidget* parent) : QAbstractButton(parent), group_(group) {
  setObjectName(QStringLiteral("PassBar"));
  setAttribute(Qt::WA_Hover);
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

QSize TPanelBar::sizeHint() const { return QSize(fontMetrics().height() + 10, 120); }

void TPanelBar::SetOpen(bool open) {
  open_ = open;
  update();
}

void TPanelBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, width(), 0);
  fill.setColorAt(0, underMouse() ? QColor(214, 236, 248) : QColor(246, 241, 233));
  fill.setColorAt(1, underMouse() ? QColor(180, 214, 232) : QColor(222, 216, 204));
  painter.fillRect(rect(), fill);
  painter.setPen(QColor(192, 192, 192));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  // An arrow pointing the way the panel will move.
  const double cx = width() / 2.0;
  const double s = 4;
  QPolygonF arrow;
  if (open_) arrow << QPointF(cx - s / 2, 8) << QPointF(cx + s / 2, 8 + s) << QPointF(cx - s / 2, 8 + 2 * s);
  else arrow << QPointF(cx + s / 2, 8) << QPointF(cx - s / 2, 8 + s) << QPointF(cx + s / 2, 8 + 2 * s);
  painter.setBrush(QColor(95, 124, 5));
  painter.setPen(Qt::NoPen);
  painter.drawPolygon(arrow);
  // The group's caption: Chinese characters stacked upright, other text written downwards.
  painter.setPen(palette().color(QPalette::WindowText));
  const QString caption = group_->title();
  const QFontMetrics metrics = fontMetrics();
  const bool stacked = !caption.isEmpty() && std::all_of(caption.begin(), caption.end(), [](QChar c) {
    return c.unicode() >= 0x2E80;
  });
  if (stacked) {
    double y = 30;
    for (QChar c : caption) {
      painter.drawText(QPointF(cx - metrics.horizontalAdvance(c) / 2.0, y + metrics.ascent()), QString(c));
      y += metrics.height();
    }
    return;
  }
  painter.translate(cx, 30);
  painter.rotate(90);
  painter.drawText(QPointF(0, metrics.ascent() / 2.0 - 2), caption);
}

TPasswordPanel::TPasswordPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PassPanel"));
  group_ = new QGroupBox(this);
  group_->setObjectName(QStringLiteral("GBOPass"));
  password_ = new QLineEdit(group_);
  password_->setObjectName(QStringLiteral("EOldPPass"));
  password_->setMaxLength(24);
  password_->setEchoMode(QLineEdit::Password);
  // A file dropped here is meant for the list, not typed into the password.
  password_->setAcceptDrops(false);
  auto* hint = new QToolButton(group_);
  hint->setObjectName(QStringLiteral("BTNHint2"));
  hint->setIcon(ThemeIcon("dialog-information", QStyle::SP_MessageBoxInformation));
  hint->setAutoRaise(true);
  connect(hint, &QToolButton::clicked, hint, [hint] {
    QToolTip::showText(hint->mapToGlobal(QPoint(0, hint->height())), hint->toolTip(), hint);
  });
  auto* note = new QLabel(group_);
  note->setObjectName(QStringLiteral("Label1"));
  note->setWordWrap(true);
  note->setStyleSheet(QStringLiteral("color: rgb(128, 0, 64);"));

  auto* fieldRow = new QHBoxLayout;
  fieldRow->addWidget(password_);
  fieldRow->addWidget(hint);
  auto* inner = new QVBoxLayout(group_);
  inner->addLayout(fieldRow);
  inner->addWidget(note);
  inner->addStretch();
  group_->setFixedWidth(180);
  group_->hide();

  bar_ = new TPanelBar(group_, this);
  connect(bar_, &QAbstractButton::clicked, this, [this] { SetOpen(!open_); });
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(group_);
  layout->addWidget(bar_);
}

void TPasswordPanel::SetOpen(bool open) {
  open_ = open;
  group_->setVisible(open);
  bar_->SetOpen(open);
  if (open) password_->setFocus();
}

}  // namespace plover
