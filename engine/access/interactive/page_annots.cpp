#include "engine/access/interactive/page_annots.h"

namespace kestrel {

void TPDFAnnots::Select(TPDFArray* annots) {
  const bool changed = annots != annots_;
  annots_ = annots;
  SelectedIndex = -1;
  if (changed && OnChange) OnChange();
}

}  // namespace kestrel
