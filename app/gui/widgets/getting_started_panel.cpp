#include "app/gui/widgets/getting_started_panel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>

#include "app/gui/theme.h"

namespace plover {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, int pointDelta = 0, bool bold = false) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  QFont font = label->font();
  if (pointDelta) font.setPointSizeF(font.pointSizeF() + pointDelta);
  font.setBold(bold);
  label->setFont(font);
  return label;
}

QLabel* MakePicture(QWidget* parent, const char* icon, QStyle::StandardPixmap fallback) {
  auto* picture = new QLabel(parent);
  picture->setPixmap(ThemeIcon(icon, fallback).pixmap(24, 24));
  return picture;
}

}  // namespace

QSize TRotatedLabel::sizeHint() const {
  const QFontMetrics metrics(font());
  const int side = static_cast<int>((metrics.horizontalAdvance(text()) + metrics.height()) / std::sqrt(2.0)) + 8;
  return QSize(side, side);
}

void TRotatedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.translate(width() / 2.0, height() / 2.0);
  painter.rotate(45);
  const QFontMetrics metrics(font());
  const int w = metrics.horizontalAdvance(text());
  painter.setPen(palette().color(QPalette::WindowText));
  painter.setFont(font());
  painter.drawText(QPointF(-w / 2.0, metrics.ascent() / 2.0 - 1), text());
}

TGettingStartedPanel::TGettingStartedPanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("PanelHP"));
  setCursor(Qt::PointingHandCursor);
  setAutoFillBackground(false);

  softName_ = MakeLabel(this, "LabSoftName", 7, true);
  softName_->setStyleSheet(QStringLiteral("color: rgb(95, 124, 5);"));
  QLabel* title = MakeLabel(this, "RzLabelTitle", 3, true);
  QLabel* step11 = MakeLabel(this, "RzLabel11", 1);
  QLabel* step12 = MakeLabel(this, "RzLabel12", 1);
  QLabel* step21 = MakeLabel(this, "RzLabel21", 1);
  QLabel* step31 = MakeLabel(this, "RzLabel31", 1);
  QLabel* step32 = MakeLabel(this, "RzLabel32", 1);
  freeware_ = new TRotatedLabel(this);
  freeware_->setObjectName(QStringLiteral("RzLabelFW"));
  QFont fw = freeware_->font();
  fw.setBold(true);
  fw.setPointSizeF(fw.pointSizeF() + 2);
  freeware_->setFont(fw);
  freeware_->setStyleSheet(QStringLiteral("color: rgb(200, 60, 30);"));

  auto* row1 = new QHBoxLayout;
  row1->setSpacing(6);
  row1->addWidget(step11);
  row1->addWidget(MakePicture(this, "list-add", QStyle::SP_DialogOpenButton));
  row1->addWidget(step12);
  row1->addStretch();
  auto* row3 = new QHBoxLayout;
  row3->setSpacing(6);
  row3->addWidget(step31);
  row3->addWidget(MakePicture(this, "media-playback-start", QStyle::SP_MediaPlay));
  row3->addWidget(step32);
  row3->addStretch();

  auto* steps = new QVBoxLayout;
  steps->setSpacing(14);
  steps->addWidget(title);
  steps->addLayout(row1);
  steps->addWidget(step21);
  steps->addLayout(row3);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(36, 18, 36, 18);
  layout->addWidget(softName_);
  layout->addSpacing(14);
  layout->addLayout(steps);
  layout->addStretch();
}

void TGettingStartedPanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit Clicked();
  event->accept();
}

void TGettingStartedPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QLinearGradient fill(0, 0, 0, height());
  fill.setColorAt(0, QColor(255, 250, 244));
  fill.setColorAt(1, QColor(232, 240, 214));
  painter.fillRect(rect(), fill);
  painter.setPen(QColor(200, 210, 180));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TGettingStartedPanel::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  PlaceFreeware();
}

bool TGettingStartedPanel::event(QEvent* event) {
  // A new caption of the diagonal label asks for a new layout.
  if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) PlaceFreeware();
  return QFrame::event(event);
}

void TGettingStartedPanel::PlaceFreeware() {
  const QSize size = freeware_->sizeHint();
  freeware_->setGeometry(width() - size.width() - 4, 4, size.width(), size.height());
}

}  // namespace plover
