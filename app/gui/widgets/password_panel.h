#pragma once
// The side panel PassPanel: a bar that opens and closes the open-password field.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLineEdit>
#include <QWidget>

namespace plover {

// The panel's bar: the group's caption written upwards beside an arrow.
class TPanelBar : public QAbstractButton {
  Q_OBJECT
 public:
  TPanelBar(QGroupBox* group, QWidget* parent);
  QSize sizeHint() const override;
  void SetOpen(bool open);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QGroupBox* group_;
  bool open_ = false;
};

class TPasswordPanel : public QWidget {
  Q_OBJECT
 public:
  explicit TPasswordPanel(QWidget* parent = nullptr);
  bool IsOpen() const { return open_; }
  void SetOpen(bool open);
  QLineEdit* PasswordField() const { return password_; }

 private:
  bool open_ = false;
  QGroupBox* group_;
  QLineEdit* password_;
  TPanelBar* bar_;
};

}  // namespace plover
