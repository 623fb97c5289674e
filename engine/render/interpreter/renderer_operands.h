#pragma once
// The interpreter's operand stack: views into the content text, popped from the top. Popping
// from an empty stack gives an empty text (a number 0); operands nobody pops stay below.
#include <cstddef>
#include <vector>

#include "engine/syntax/bytes.h"

namespace kestrel {

class TOperandStack {
 public:
  TOperandStack();

  void Push(TByteView token);
  TByteView PopText();
  double PopNumber();
  // The top `count` operands in content order (fewer when the stack holds fewer), popped into
  // `out` (which the caller reuses, so steady use does not allocate).
  void PopGroup(std::size_t count, std::vector<TByteView>& out);

  std::size_t Size() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  TByteView Top() const { return items_.empty() ? TByteView{} : items_.back(); }
  // Operands dropped because the stack was full.
  std::size_t Dropped() const { return dropped_; }

 private:
  std::vector<TByteView> items_;
  std::size_t dropped_ = 0;
};

}  // namespace kestrel
