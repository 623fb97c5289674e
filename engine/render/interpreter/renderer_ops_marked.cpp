// Marked content with optional content.
#include "engine/render/interpreter/renderer_interpreter.h"
#include "engine/syntax/string_decode.h"

namespace kestrel {

void TContentInterpreter::BeginMarkedContent(bool withProperties) {
  const TByteView properties = withProperties ? operands_.PopText() : TByteView{};
  const TByteView tag = operands_.PopText();
  visibility_.push_back(visible_);
  if (!withProperties || tag != "/OC" || !resources_ || properties.size() < 2 ||
      properties.front() != '/') {
    return;
  }
  // Optional content: the group or membership dictionary named in the resources' Properties.
  // Content inside hidden content stays hidden whatever its own group says.
  auto* list = As<TPDFDictionary>(r_.ResolveObject(resources_->GetValue("Properties", false)));
  if (list) visible_ = visible_ && r_.ContentVisible(list->GetValue(DecodeNameOperand(properties), false));
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
