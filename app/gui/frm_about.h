#pragma once
// The About window FrmAbout.
#include <QDialog>
#include <QLabel>

#include "app/gui/widgets/link_label.h"

namespace plover {

class FrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit FrmAbout(QWidget* parent = nullptr);
  // Title, version and the maker's addresses of `language`.
  void SetProduct(const QString& appTitle, int language);

 private:
  QLabel* softName_;
  QLabel* version_;
  TLinkLabel* home_;
  TLinkLabel* mail_;
};

}  // namespace plover
