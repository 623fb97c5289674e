#pragma once
// TPDFAnnots: the annotation array of the page the page tree selected last.
#include <functional>

#include "engine/syntax/objects.h"

namespace kestrel {

class TPDFAnnots {
 public:
  // The page's "Annots" array (resolved) or null, which resets the holder.
  void Select(TPDFArray* annots);
  void Reset() { Select(nullptr); }

  TPDFArray* Array() const { return annots_; }
  int Count() const { return annots_ ? annots_->Count() : 0; }
  // The annotation picked in the array; -1 when none is.
  int SelectedIndex = -1;
  // Told when the holder receives another page's array.
  std::function<void()> OnChange;

 private:
  TPDFArray* annots_ = nullptr;
};

}  // namespace kestrel
