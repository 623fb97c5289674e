#pragma once
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "engine/syntax/structure.h"

namespace kestrel {

class TSmartPDFDocument;

// What a page lookup learned about one kid of a page-tree node.
struct TPageTreeKid {
  bool IsRef = false;
  bool IsLeaf = false;        // a "Page"
  int32_t ObjNum = 0;
  int32_t GenNum = 0;
  int64_t Contribution = 0;   // pages it holds: its "Count", 1 for a page, 0 for anything else
};

class TPageTreeCache {
 public:
  // The kids of node `nodeNum` (whose dictionary is `node`), or null when "Kids" is no array.
  const std::vector<TPageTreeKid>* KidsOf(TSmartPDFDocument& doc, int32_t nodeNum, TPDFDictionary* node,
                                          TPDFStructure& pool);
  // Whether the kids of a node are known already (its dictionary is then not needed again).
  bool Knows(int32_t nodeNum) const { return nodes_.count(nodeNum) != 0; }

 private:
  struct TNode {
    bool HasKids = false;
    std::vector<TPageTreeKid> Kids;
  };
  std::unordered_map<int32_t, TNode> nodes_;
};

}  // namespace kestrel
