// Page lookup: walks the page tree from its root by the "Count" of each node. What the walk
// learns about a node's kids (their kind and page count) is kept, so converting every page of a
// document costs one pass over each node's kids, not one per page.
#include <unordered_set>

#include "engine/access/document.h"
#include "engine/access/page_tree_cache.h"
#include "engine/access/access_limits.h"

namespace kestrel {

namespace {

TPDFObject* LoadInto(TSmartPDFDocument& doc, TPDFObject* obj, TPDFStructure& pool) {
  if (auto* ref = As<TPDFIndRef>(obj)) return doc.LoadObject(ref->RefObjNum, &pool);
  return obj;
}

}  // namespace

const std::vector<TPageTreeKid>* TPageTreeCache::KidsOf(TSmartPDFDocument& doc, int32_t nodeNum,
                                                         TPDFDictionary* node, TPDFStructure& pool) {
  if (auto it = nodes_.find(nodeNum); it != nodes_.end())
    return it->second.HasKids ? &it->second.Kids : nullptr;
  TNode& entry = nodes_[nodeNum];
  auto* kids = As<TPDFArray>(LoadInto(doc, node->GetValue("Kids", false), pool));
  if (!kids) return nullptr;
  entry.HasKids = true;
  entry.Kids.reserve(static_cast<std::size_t>(kids->Count()));
  for (TPDFObject* item : kids->Items()) {
    TPageTreeKid kid;
    if (auto* ref = As<TPDFIndRef>(item)) {
      kid.IsRef = true;
      kid.ObjNum = ref->RefObjNum;
      kid.GenNum = ref->RefGenNum;
      if (auto* dict = As<TPDFDictionary>(doc.LoadObject(ref->RefObjNum, &pool))) {
        const TBytes type = dict->GetTypeName();
        if (type == "Pages") {
          auto* count = As<TPDFNumeric>(LoadInto(doc, dict->GetValue("Count", false), pool));
          kid.Contribution = count ? count->AsInteger() : 0;
        } else if (type == "Page") {
          kid.Contribution = 1;
          kid.IsLeaf = true;
        }
      }
    }
    entry.Kids.push_back(kid);
  }
  return &entry.Kids;
}

TPDFIndRef* TSmartPDFDocument::FindPage(int32_t pageNumber) {
  TPDFIndRef* ref = LocatePage(pageNumber);
  TPDFDictionary* page = ref ? PageDictionary(ref) : nullptr;
  TPDFObject* annots = page ? page->GetValue("Annots", false) : nullptr;
  if (auto* annotsRef = As<TPDFIndRef>(annots)) annots = LoadObject(annotsRef->RefObjNum);
  annots_.Select(As<TPDFArray>(annots));
  return ref;
}

TPDFIndRef* TSmartPDFDocument::LocatePage(int32_t pageNumber) {
  if (!pages_ || !pagesRef_) return nullptr;
  TPDFStructure pool;
  int64_t counted = 0;
  int32_t nodeNum = pagesRef_->RefObjNum;
  TPDFDictionary* node = pages_;
  const std::vector<TPageTreeKid>* kids = nullptr;
  std::size_t i = 0;
  std::unordered_set<int32_t> onPath{nodeNum};

  for (int depth = 0; node && depth < limits::kMaxPageTreeDepth; ++depth) {
    kids = pageTree_->KidsOf(*this, nodeNum, node, pool);
    if (!kids) return nullptr;
    i = 0;
    // A kid that leads back to a node on the walk's path (the node itself or an ancestor) is a
    // loop: it holds no page of its own and is skipped, so the pages after it stay reachable.
    while (i < kids->size() && counted < pageNumber) {
      const TPageTreeKid& kid = (*kids)[i++];
      if (!kid.IsLeaf && kid.IsRef && onPath.count(kid.ObjNum)) continue;
      counted += kid.Contribution;
    }
    node = nullptr;
    if (counted >= pageNumber && i > 0 && !(*kids)[i - 1].IsLeaf) {
      const TPageTreeKid& kid = (*kids)[i - 1];
      counted -= kid.Contribution;
      if (!kid.IsRef || !onPath.insert(kid.ObjNum).second) return nullptr;
      nodeNum = kid.ObjNum;
      // A node whose kids are known is not parsed again; any non-null dictionary keeps the
      // walk going, since the cache never reads it.
      node = pageTree_->Knows(nodeNum) ? pages_ : As<TPDFDictionary>(LoadObject(nodeNum, &pool));
    }
  }
  if (node) return nullptr;  // deeper than any real page tree
  if (!kids || counted != pageNumber || i == 0) return nullptr;
  const TPageTreeKid& candidate = (*kids)[i - 1];
  if (!candidate.IsRef) return nullptr;
  int32_t objNum = candidate.ObjNum;
  int32_t genNum = candidate.GenNum;
  if (auto* dict = As<TPDFDictionary>(LoadObject(objNum, &pool)); dict && dict->GetTypeName() == "Pages") {
    auto* inner = As<TPDFArray>(LoadInto(*this, dict->GetValue("Kids", false), pool));
    if (auto* first = inner ? As<TPDFIndRef>(inner->Item(0)) : nullptr) {
      objNum = first->RefObjNum;
      genNum = first->RefGenNum;
    }
  }
  return localPool_->NewIndRef(objNum, genNum);
}

int64_t TSmartPDFDocument::CountTreePages() {
  if (!pages_ || !pagesRef_) return 0;
  TPDFStructure pool;
  int64_t pages = 0;
  // Nodes to visit with their depth; a node reached twice (a loop, a shared branch) counts once.
  std::vector<std::pair<int32_t, int>> pending{{pagesRef_->RefObjNum, 0}};
  std::unordered_set<int32_t> seen{pagesRef_->RefObjNum};
  while (!pending.empty()) {
    const auto [nodeNum, depth] = pending.back();
    pending.pop_back();
    TPDFDictionary* node = nodeNum == pagesRef_->RefObjNum || pageTree_->Knows(nodeNum)
                               ? pages_
                               : As<TPDFDictionary>(LoadObject(nodeNum, &pool));
    const std::vector<TPageTreeKid>* kids = node ? pageTree_->KidsOf(*this, nodeNum, node, pool) : nullptr;
    if (!kids) continue;
    for (const TPageTreeKid& kid : *kids) {
      if (kid.IsLeaf) {
        ++pages;
      } else if (kid.IsRef && kid.Contribution > 0 && depth + 1 < limits::kMaxPageTreeDepth &&
                 seen.insert(kid.ObjNum).second) {
        pending.emplace_back(kid.ObjNum, depth + 1);
      }
    }
  }
  return pages;
}

}  // namespace kestrel
