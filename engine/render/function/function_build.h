#pragma once
// Building function trees: stitching functions build their sub-functions through this, so
// depth, size and cycles are bounded over the whole tree.
#include <memory>
#include <vector>

#include "engine/render/function/function.h"

namespace kestrel::function_detail {

struct TFunctionBuild {
  int Created = 0;                          // functions made for this tree so far
  std::vector<const TPDFObject*> Parents;  // the functions being built, outermost first
};

// CreateFunction within a tree; null for an object that gives no function, for a branch
// deeper than the depth limit, past the tree's size limit, or one that refers to a parent.
std::unique_ptr<TPDFFunction> BuildFunction(TPDFObject* object, TFunctionBuild& build);

}  // namespace kestrel::function_detail
