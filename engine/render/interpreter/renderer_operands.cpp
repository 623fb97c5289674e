#include "engine/render/interpreter/renderer_operands.h"

#include "engine/render/renderer_limits.h"
#include "engine/syntax/content_tokenizer.h"

namespace kestrel {

TOperandStack::TOperandStack() { items_.reserve(100); }

void TOperandStack::Push(TByteView token) {
  if (items_.size() >= limits::kMaxOperands) {
    // Operators only look at the top: the oldest half can go.
    const std::size_t drop = items_.size() / 2;
    items_.erase(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(drop));
    dropped_ += drop;
  }
  items_.push_back(token);
}

TByteView TOperandStack::PopText() {
  if (items_.empty()) return {};
  const TByteView t = items_.back();
  items_.pop_back();
  return t;
}

double TOperandStack::PopNumber() { return items_.empty() ? 0.0 : OperandNumber(PopText()); }

void TOperandStack::PopGroup(std::size_t count, std::vector<TByteView>& out) {
  const std::size_t got = count < items_.size() ? count : items_.size();
  const auto first = items_.end() - static_cast<std::ptrdiff_t>(got);
  out.assign(first, items_.end());
  items_.erase(first, items_.end());
}

}  // namespace kestrel
