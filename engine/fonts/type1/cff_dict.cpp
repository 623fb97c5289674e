#include "engine/fonts/type1/cff_dict.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/fonts/font_limits.h"

namespace kestrel {
namespace {

// The nibble-coded real of operator 30; `pos` is past the 30 byte on entry.
double ReadReal(std::string_view d, std::size_t& pos) {
  std::string text;
  bool done = false;
  while (!done && pos < d.size() && text.size() < 64) {
    const unsigned char b = static_cast<unsigned char>(d[pos++]);
    for (int nibble : {b >> 4, b & 15}) {
      if (nibble <= 9) text += static_cast<char>('0' + nibble);
      else if (nibble == 0xA) text += '.';
      else if (nibble == 0xB) text += 'E';
      else if (nibble == 0xC) text += "E-";
      else if (nibble == 0xE) text += '-';
      else if (nibble == 0xF) { done = true; break; }
    }
  }
  return std::strtod(text.c_str(), nullptr);
}

}  // namespace

TCFFDict TCFFDict::Parse(std::string_view d) {
  TCFFDict dict;
  std::vector<double> operands;
  std::size_t pos = 0;
  while (pos < d.size()) {
    const int b0 = static_cast<unsigned char>(d[pos]);
    if (b0 <= 21) {
      int op = b0;
      ++pos;
      if (b0 == 12) {
        if (pos >= d.size()) break;
        op = 1200 + static_cast<unsigned char>(d[pos++]);
      }
      dict.m_entries.push_back({op, std::move(operands)});
      operands.clear();
      continue;
    }
    double v = 0;
    if (b0 == 28) {
      if (d.size() - pos < 3) break;
      v = static_cast<std::int16_t>((static_cast<unsigned char>(d[pos + 1]) << 8) |
                                    static_cast<unsigned char>(d[pos + 2]));
      pos += 3;
    } else if (b0 == 29) {
      if (d.size() - pos < 5) break;
      std::uint32_t u = 0;
      for (int k = 1; k <= 4; ++k) u = (u << 8) | static_cast<unsigned char>(d[pos + k]);
      v = static_cast<std::int32_t>(u);
      pos += 5;
    } else if (b0 == 30) {
      ++pos;
      v = ReadReal(d, pos);
    } else if (b0 >= 32 && b0 <= 246) {
      v = b0 - 139;
      ++pos;
    } else if (b0 >= 247 && b0 <= 254) {
      if (d.size() - pos < 2) break;
      const int b1 = static_cast<unsigned char>(d[pos + 1]);
      v = b0 <= 250 ? (b0 - 247) * 256 + b1 + 108 : -(b0 - 251) * 256 - b1 - 108;
      pos += 2;
    } else {
      break;  // reserved byte
    }
    if (operands.size() >= static_cast<std::size_t>(limits::kMaxCharstringStack)) break;
    operands.push_back(v);
  }
  return dict;
}

const TCFFDict::TEntry* TCFFDict::Find(int op) const {
  for (const TEntry& e : m_entries)
    if (e.op == op) return &e;
  return nullptr;
}

double TCFFDict::Number(int op, double fallback, std::size_t i) const {
  const TEntry* e = Find(op);
  return e && i < e->operands.size() ? e->operands[i] : fallback;
}

std::vector<double> TCFFDict::Numbers(int op) const {
  const TEntry* e = Find(op);
  return e ? e->operands : std::vector<double>{};
}

}  // namespace kestrel
