#pragma once
// A number of decoded bytes that filter stages may still produce; every stage's output is
// charged, so a chain of expanding filters is bounded as a whole.
#include <algorithm>
#include <cstddef>

#include "engine/syntax/limits.h"

namespace kestrel {

class TDecodeBudget {
 public:
  explicit TDecodeBudget(std::size_t bytes) : left_(bytes) {}

  std::size_t Left() const { return left_; }
  // What one stage may produce: no more than is left, nor than one stream may hold.
  std::size_t StageCap() const { return std::min(left_, limits::kMaxDecodedStreamBytes); }
  // Charges a stage's output; output that fills what was left uses the budget up.
  void Charge(std::size_t produced) {
    if (produced >= left_) {
      left_ = 0;
      exhausted_ = true;
    } else {
      left_ -= produced;
    }
  }
  bool Exhausted() const { return exhausted_; }

 private:
  std::size_t left_;
  bool exhausted_ = false;
};

}  // namespace kestrel
