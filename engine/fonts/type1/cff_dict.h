#pragma once
// A CFF DICT decoded into operator -> operands. Two-byte operators (12 x) are keyed 1200 + x.
#include <string_view>
#include <vector>

namespace kestrel {

namespace cffop {
inline constexpr int kCharset = 15, kEncoding = 16, kCharStrings = 17, kPrivate = 18,
                     kSubrs = 19;
inline constexpr int kCharstringType = 1206, kFontMatrix = 1207, kROS = 1230,
                     kFDArray = 1236, kFDSelect = 1237;
}  // namespace cffop

class TCFFDict {
 public:
  // Decodes the whole DICT; bytes that do not form an entry end it.
  static TCFFDict Parse(std::string_view data);

  bool Has(int op) const { return Find(op) != nullptr; }
  // Operand i of op, or `fallback` when absent.
  double Number(int op, double fallback = 0, std::size_t i = 0) const;
  // All operands of op (empty when absent).
  std::vector<double> Numbers(int op) const;

 private:
  struct TEntry {
    int op;
    std::vector<double> operands;
  };
  const TEntry* Find(int op) const;

  std::vector<TEntry> m_entries;
};

}  // namespace kestrel
