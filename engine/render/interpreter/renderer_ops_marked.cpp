// Marked content with optional content.
#include "engine/render/interpreter/renderer_interpreter.h"

namespace kestrel {

void TContentInterpreter::BeginMarkedContent(bool withProperties) {
  const TByteView properties = withProperties ? operands_.PopText() : TByteView{};
  const TByteView tag = operands_.PopText();
  visibility_.push_back(visible_);
  if (!withProperties || tag != "/OC" || !resources_ || properties.size() < 2 ||
      properties.front() != '/') {
    return;
  }
  // Optional content: Properties / name / Usage / View / ViewState.
  auto dictAt = [this](TPDFDictionary* d, TByteView key) {
    return d ? As<TPDFDictionary>(r_.ResolveObject(d->GetValue(key, false))) : nullptr;
  };
  TPDFDictionary* group = dictAt(dictAt(resources_, "Properties"), properties.substr(1));
  TPDFDictionary* view = dictAt(dictAt(group, "Usage"), "View");
  if (!view) return;
  if (auto* state = As<TPDFName>(r_.ResolveObject(view->GetValue("ViewState", false))))
    visible_ = state->Value != "OFF";
}

void TContentInterpreter::EndMarkedContent() {
  if (visibility_.empty()) {
    visible_ = true;
    return;
  }
  visible_ = visibility_.back();
  visibility_.pop_back();
}

}  // namespace kestrel
