#pragma once
// The "Getting Started" overlay PanelHP drawn over the file list.
#include <QFrame>
#include <QLabel>

namespace plover {

// A label painted along a diagonal, 45 degrees clockwise from the horizontal.
class TRotatedLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TRotatedLabel(QWidget* parent = nullptr) : QLabel(parent) {}
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class TGettingStartedPanel : public QFrame {
  Q_OBJECT
 public:
  explicit TGettingStartedPanel(QWidget* parent = nullptr);
  QLabel* SoftName() const { return softName_; }

 signals:
  void Clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // The diagonal label sits in the top right corner at the size its text needs.
  void PlaceFreeware();
  QLabel* softName_;
  TRotatedLabel* freeware_;
};

}  // namespace plover
