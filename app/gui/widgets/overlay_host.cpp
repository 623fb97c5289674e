#include "app/gui/widgets/overlay_host.h"

#include <algorithm>

namespace plover {

void TOverlayHost::AddFilling(QWidget* child) {
  child->setParent(this);
  filling_.push_back(child);
  Place();
}

void TOverlayHost::AddCentred(QWidget* child, double widthShare) {
  child->setParent(this);
  centred_.push_back({child, widthShare});
  Place();
}

void TOverlayHost::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Place();
}

void TOverlayHost::Place() {
  for (QWidget* child : filling_) child->setGeometry(rect());
  for (const auto& [child, share] : centred_) {
    const int w = std::max(child->minimumSizeHint().width(), static_cast<int>(width() * share));
    const int h = std::min(height(), child->sizeHint().height());
    child->setGeometry((width() - w) / 2, (height() - h) / 2, w, h);
    child->raise();
  }
}

}  // namespace plover
