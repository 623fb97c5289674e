#pragma once
// The read-only output folder field: shows the start of a long path, cut with "…" at the end,
// and the whole path as its tool tip.
#include <QLineEdit>

namespace plover {

class TPathField : public QLineEdit {
  Q_OBJECT
 public:
  explicit TPathField(QWidget* parent = nullptr);
  // The text as painted: the path cut to the room there is.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect TextRect() const;
};

}  // namespace plover
