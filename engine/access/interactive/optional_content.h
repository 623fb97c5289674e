#pragma once
// TPDFOptionalContent: which optional content groups a viewer shows, as the document's default
// configuration sets them (catalogue /OCProperties /D), and the visibility of content that a
// group or a membership dictionary governs. Group states are settled once per document.
#include <cstdint>
#include <functional>
#include <unordered_map>

#include "engine/syntax/objects.h"

namespace kestrel {

class TPDFOptionalContent {
 public:
  using TResolve = std::function<TPDFObject*(TPDFIndRef*)>;

  // Without OCProperties every group counts as not found, so everything is visible.
  TPDFOptionalContent(TPDFDictionary* catalogue, TResolve resolve);

  // Whether content governed by `oc` (a group or membership dictionary, or a reference to one;
  // the value of an /OC entry or of a Properties entry) is shown. Anything that is not a known
  // group or a usable membership dictionary is visible.
  bool IsVisible(TPDFObject* oc);
  // The state of group `objNum` in the configuration; groups not listed in /OCGs are ON.
  bool GroupOn(int32_t objNum) const;
  bool HasGroups() const { return !groups_.empty(); }

 private:
  void ReadConfiguration(TPDFDictionary& config);
  void ApplyViewUsage(TPDFDictionary& config);
  TPDFObject* Resolve(TPDFObject* obj);
  bool MembershipVisible(TPDFDictionary& ocmd);
  // A visibility expression: 1 true, 0 false, -1 not a valid expression.
  int Expression(TPDFObject* expr, int depth);

  TResolve resolve_;
  std::unordered_map<int32_t, bool> groups_;
  // Membership dictionaries reached by reference, evaluated once.
  std::unordered_map<int32_t, bool> memberships_;
};

}  // namespace kestrel
