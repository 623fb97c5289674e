#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

namespace kestrel {

// Byte offsets of every object and cross-reference section, to find where an object ends.
class TSortedNumberList {
 public:
  void Add(int64_t v) { values_.push_back(v); }
  void Sort() { std::sort(values_.begin(), values_.end()); }
  // The smallest value greater than v; the last value when none is greater; 0 when empty.
  int64_t NextAfter(int64_t v) const {
    if (values_.empty()) return 0;
    auto it = std::upper_bound(values_.begin(), values_.end(), v);
    return it == values_.end() ? values_.back() : *it;
  }
  std::size_t Count() const { return values_.size(); }

 private:
  std::vector<int64_t> values_;
};

}  // namespace kestrel
