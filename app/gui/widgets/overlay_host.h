#pragma once
// A widget whose children lie on top of each other: some fill it, others are centred in it.
#include <QList>
#include <QWidget>

namespace plover {

class TOverlayHost : public QWidget {
  Q_OBJECT
 public:
  explicit TOverlayHost(QWidget* parent = nullptr) : QWidget(parent) {}
  // `child` (made a child of this) covers the whole host.
  void AddFilling(QWidget* child);
  // `child` is centred at its size hint's height, `widthShare` of the host's width.
  void AddCentred(QWidget* child, double widthShare);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Place();
  QList<QWidget*> filling_;
  QList<QPair<QWidget*, double>> centred_;
};

}  // namespace plover
