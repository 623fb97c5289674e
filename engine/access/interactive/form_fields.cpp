#include "engine/access/interactive/form_fields.h"

#include <algorithm>

#include "engine/access/access_limits.h"
#include "engine/syntax/structure.h"

namespace kestrel {

namespace {

constexpr int32_t kFlagRadio = 0x8000;
constexpr int32_t kFlagPushButton = 0x10000;

TPDFObject* ResolveWith(const TPDFField::TResolve& resolve, TPDFObject* obj) {
  auto* ref = As<TPDFIndRef>(obj);
  if (!ref) return obj;
  TPDFObject* target = resolve ? resolve(ref) : ref->Resolve();
  return As<TPDFIndRef>(target) ? nullptr : target;
}

}  // namespace

TPDFField::TPDFField(TResolve resolve, TPDFDictionary& dict, TPDFIndRef* ref, TPDFForm* form,
                     TPDFField* parent)
    : resolve_(std::move(resolve)), dict_(dict), ref_(ref), form_(form), parent_(parent) {
  if (auto* rect = As<TPDFArray>(ResolveWith(resolve_, dict_.GetValue("Rect", false)))) {
    double v[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i)
      if (auto* n = As<TPDFNumeric>(ResolveWith(resolve_, rect->Item(i)))) v[i] = n->Value;
    Left = std::min(v[0], v[2]);
    Width = std::max(v[0], v[2]) - Left;
    Height = std::max(v[1], v[3]) - std::min(v[1], v[3]);
    Top = std::min(v[1], v[3]) + Height;
  }
  if (auto* name = As<TPDFString>(ResolveWith(resolve_, dict_.GetValue("T", false))))
    PartialName = name->AsUnicode();
}

TPDFObject* TPDFField::Inherited(TByteView key) {
  // A Parent chain that loops is cut at the tree's depth limit.
  TPDFDictionary* dict = &dict_;
  for (int depth = 0; dict && depth <= limits::kMaxFieldTreeDepth; ++depth) {
    if (TPDFObject* value = dict->GetValue(key, false)) return ResolveWith(resolve_, value);
    dict = As<TPDFDictionary>(ResolveWith(resolve_, dict->GetValue("Parent", false)));
  }
  return nullptr;
}

TFieldKind TPDFField::Kind() {
  if (kindKnown_) return kind_;
  kindKnown_ = true;
  auto* type = As<TPDFName>(Inherited("FT"));
  auto* flagsValue = As<TPDFNumeric>(Inherited("Ff"));
  const int32_t flags = flagsValue ? flagsValue->AsInteger() : 0;
  const bool kids = As<TPDFArray>(ResolveWith(resolve_, dict_.GetValue("Kids", false))) != nullptr;
  const TByteView ft = type ? TByteView(type->Value) : TByteView();
  if (ft == "Tx") {
    kind_ = TFieldKind::Text;
  } else if (ft == "Btn") {
    if (flags & kFlagPushButton)
      kind_ = TFieldKind::PushButton;
    else if ((flags & kFlagRadio) || kids)
      kind_ = TFieldKind::RadioButton;
    else
      kind_ = TFieldKind::CheckBox;
  } else if (ft == "Ch") {
    kind_ = TFieldKind::Choice;
  } else if (ft == "Sig") {
    kind_ = TFieldKind::Signature;
  } else if (kids) {
    kind_ = TFieldKind::NonTerminal;
  }
  return kind_;
}

TPDFForm::TPDFForm(TResolve resolve, TPDFDictionary& form) : resolve_(std::move(resolve)), dict_(form) {
  fieldsArray_ = As<TPDFArray>(Resolve(dict_.GetValue("Fields", false)));
  if (fieldsArray_)
    for (TPDFObject* item : fieldsArray_->Items())
      if (auto* ref = As<TPDFIndRef>(item)) ReadField(ref, nullptr, 0);
  co_ = As<TPDFArray>(Resolve(dict_.GetValue("CO", false)));
  if (!co_ && !dict_.GetValue("CO", false)) {
    co_ = dict_.Owner()->NewArray();
    dict_.SetValue("CO", co_);
  }
  dr_ = As<TPDFDictionary>(Resolve(dict_.GetValue("DR", false)));
  if (!dr_ && !dict_.GetValue("DR", false)) {
    dr_ = dict_.Owner()->NewDictionary();
    dict_.SetValue("DR", dr_);
  }
}

TPDFObject* TPDFForm::Resolve(TPDFObject* obj) { return ResolveWith(resolve_, obj); }

void TPDFForm::ReadField(TPDFIndRef* ref, TPDFField* parent, int depth) {
  // Each field object is read once: a Kids entry that leads back into the tree is skipped.
  if (depth > limits::kMaxFieldTreeDepth || fields_.size() >= limits::kMaxFormFields ||
      !seen_.insert(ref->RefObjNum).second) {
    return;
  }
  auto* dict = As<TPDFDictionary>(Resolve(ref));
  if (!dict) return;
  fields_.push_back(std::make_unique<TPDFField>(resolve_, *dict, ref, this, parent));
  TPDFField* field = fields_.back().get();
  const TFieldKind kind = field->Kind();
  // The kids of check boxes and radio buttons are their widgets.
  if (kind == TFieldKind::CheckBox || kind == TFieldKind::RadioButton) return;
  auto* kids = As<TPDFArray>(Resolve(dict->GetValue("Kids", false)));
  if (!kids) return;
  field->HasKids = true;
  for (TPDFObject* item : kids->Items())
    if (auto* kid = As<TPDFIndRef>(item)) ReadField(kid, field, depth + 1);
}

}  // namespace kestrel
