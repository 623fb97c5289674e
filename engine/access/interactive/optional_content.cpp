#include "engine/access/interactive/optional_content.h"

#include <vector>

#include "engine/access/access_limits.h"

namespace kestrel {

namespace {

bool IsName(TPDFObject* obj, TByteView value) {
  auto* n = As<TPDFName>(obj);
  return n && n->Value == value;
}

}  // namespace

TPDFOptionalContent::TPDFOptionalContent(TPDFDictionary* catalogue, TResolve resolve)
    : resolve_(std::move(resolve)) {
  auto* props = catalogue ? As<TPDFDictionary>(Resolve(catalogue->GetValue("OCProperties", false))) : nullptr;
  auto* ocgs = props ? As<TPDFArray>(Resolve(props->GetValue("OCGs", false))) : nullptr;
  if (!ocgs) return;
  for (TPDFObject* item : ocgs->Items())
    if (auto* ref = As<TPDFIndRef>(item)) groups_[ref->RefObjNum] = true;
  if (auto* config = As<TPDFDictionary>(Resolve(props->GetValue("D", false)))) ReadConfiguration(*config);
}

TPDFObject* TPDFOptionalContent::Resolve(TPDFObject* obj) {
  auto* ref = As<TPDFIndRef>(obj);
  if (!ref) return obj;
  TPDFObject* target = resolve_ ? resolve_(ref) : ref->Resolve();
  return As<TPDFIndRef>(target) ? nullptr : target;
}

void TPDFOptionalContent::ReadConfiguration(TPDFDictionary& config) {
  // BaseState first (Unchanged means nothing in the default configuration: ON), then ON, then
  // OFF, so a group listed in both is off.
  if (IsName(Resolve(config.GetValue("BaseState", false)), "OFF"))
    for (auto& [num, on] : groups_) on = false;
  for (const char* key : {"ON", "OFF"}) {
    auto* list = As<TPDFArray>(Resolve(config.GetValue(key, false)));
    if (!list) continue;
    for (TPDFObject* item : list->Items()) {
      auto* ref = As<TPDFIndRef>(item);
      if (!ref) continue;
      if (auto it = groups_.find(ref->RefObjNum); it != groups_.end()) it->second = key[1] == 'N';
    }
  }
  ApplyViewUsage(config);
}

// The configuration's AS entries for the View event whose categories include View set the
// listed groups from their Usage /View /ViewState.
void TPDFOptionalContent::ApplyViewUsage(TPDFDictionary& config) {
  auto* applications = As<TPDFArray>(Resolve(config.GetValue("AS", false)));
  if (!applications) return;
  for (TPDFObject* item : applications->Items()) {
    auto* app = As<TPDFDictionary>(Resolve(item));
    if (!app || !IsName(Resolve(app->GetValue("Event", false)), "View")) continue;
    TPDFObject* category = Resolve(app->GetValue("Category", false));
    bool viewCategory = IsName(category, "View");
    if (auto* names = As<TPDFArray>(category))
      for (TPDFObject* name : names->Items()) viewCategory |= IsName(Resolve(name), "View");
    auto* listed = As<TPDFArray>(Resolve(app->GetValue("OCGs", false)));
    if (!viewCategory || !listed) continue;
    for (TPDFObject* entry : listed->Items()) {
      auto* ref = As<TPDFIndRef>(entry);
      auto it = ref ? groups_.find(ref->RefObjNum) : groups_.end();
      if (it == groups_.end()) continue;
      auto* group = As<TPDFDictionary>(Resolve(ref));
      auto* usage = group ? As<TPDFDictionary>(Resolve(group->GetValue("Usage", false))) : nullptr;
      auto* view = usage ? As<TPDFDictionary>(Resolve(usage->GetValue("View", false))) : nullptr;
      TPDFObject* state = view ? Resolve(view->GetValue("ViewState", false)) : nullptr;
      if (IsName(state, "ON")) it->second = true;
      if (IsName(state, "OFF")) it->second = false;
    }
  }
}

bool TPDFOptionalContent::GroupOn(int32_t objNum) const {
  auto it = groups_.find(objNum);
  return it == groups_.end() || it->second;
}

bool TPDFOptionalContent::IsVisible(TPDFObject* oc) {
  if (groups_.empty()) return true;
  if (auto* ref = As<TPDFIndRef>(oc)) {
    if (auto it = groups_.find(ref->RefObjNum); it != groups_.end()) return it->second;
    if (auto it = memberships_.find(ref->RefObjNum); it != memberships_.end()) return it->second;
    auto* dict = As<TPDFDictionary>(Resolve(ref));
    const bool visible = !dict || !IsName(dict->GetValue("Type", false), "OCMD") || MembershipVisible(*dict);
    memberships_[ref->RefObjNum] = visible;
    return visible;
  }
  auto* dict = As<TPDFDictionary>(oc);
  return !dict || !IsName(dict->GetValue("Type", false), "OCMD") || MembershipVisible(*dict);
}

bool TPDFOptionalContent::MembershipVisible(TPDFDictionary& ocmd) {
  // A visibility expression, when there is one, decides alone.
  if (TPDFObject* ve = ocmd.GetValue("VE", false)) {
    const int result = Expression(ve, 0);
    return result != 0;
  }
  TPDFObject* ocgs = ocmd.GetValue("OCGs", false);
  std::vector<TPDFObject*> members;
  if (auto* list = As<TPDFArray>(Resolve(ocgs))) {
    members = list->Items();
  } else if (As<TPDFIndRef>(ocgs)) {
    members.push_back(ocgs);
  }
  int on = 0, off = 0;
  for (TPDFObject* member : members) {
    auto* ref = As<TPDFIndRef>(member);
    // Null entries and references to nothing have no effect.
    if (!ref || !As<TPDFDictionary>(Resolve(ref))) continue;
    GroupOn(ref->RefObjNum) ? ++on : ++off;
  }
  if (on + off == 0) return true;
  TPDFObject* policy = Resolve(ocmd.GetValue("P", false));
  if (IsName(policy, "AllOn")) return off == 0;
  if (IsName(policy, "AnyOff")) return off > 0;
  if (IsName(policy, "AllOff")) return on == 0;
  return on > 0;  // AnyOn, the default
}

int TPDFOptionalContent::Expression(TPDFObject* expr, int depth) {
  if (depth > limits::kMaxVisibilityExpressionDepth) return -1;
  if (auto* ref = As<TPDFIndRef>(expr)) {
    TPDFObject* target = Resolve(ref);
    if (As<TPDFDictionary>(target)) return GroupOn(ref->RefObjNum) ? 1 : 0;
    if (!As<TPDFArray>(target)) return -1;
    expr = target;
  }
  if (As<TPDFDictionary>(expr)) return 1;  // a group given directly is not one of the document's
  auto* array = As<TPDFArray>(expr);
  if (!array || array->Count() < 2) return -1;
  auto* op = As<TPDFName>(Resolve(array->Item(0)));
  if (!op) return -1;
  if (op->Value == "Not") {
    const int operand = Expression(array->Item(1), depth + 1);
    return operand < 0 ? -1 : 1 - operand;
  }
  const bool isAnd = op->Value == "And";
  if (!isAnd && op->Value != "Or") return -1;
  bool result = isAnd;
  for (int i = 1; i < array->Count(); ++i) {
    const int operand = Expression(array->Item(i), depth + 1);
    if (operand < 0) return -1;
    result = isAnd ? result && operand == 1 : result || operand == 1;
  }
  return result ? 1 : 0;
}

}  // namespace kestrel
