#pragma once
// The list header with the select-all indicator drawn in the check-box column.
#include <QHeaderView>

namespace plover {

class TCheckHeader : public QHeaderView {
  Q_OBJECT
 public:
  explicit TCheckHeader(QWidget* parent = nullptr);
  Qt::CheckState Indicator() const { return indicator_; }
  void SetIndicator(Qt::CheckState state);

 signals:
  void IndicatorClicked();

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  Qt::CheckState indicator_ = Qt::Unchecked;
};

}  // namespace plover
