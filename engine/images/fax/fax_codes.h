#pragma once
// The T.4 run-length codes and the two-dimensional mode codes as lookup tables indexed by the
// next bits of the data, so that every code is found with one peek and one table read.
#include <array>
#include <cstdint>

namespace kestrel::fax {

// One table entry: the run (or mode) a code stands for and how many bits it takes; Bits 0
// marks bits that start no code.
// Two bytes, so that the tables stay in the fastest cache.
struct TFaxCode {
  std::uint16_t Value : 12 = 0;
  std::uint16_t Bits : 4 = 0;
};

inline constexpr int kEol = 4095;  // 000000000001, in either colour's table

inline constexpr int kWhiteBits = 12;  // longest white code (and the EOL)
inline constexpr int kBlackBits = 13;  // longest black code
inline constexpr int kModeBits = 7;    // longest mode code (the extension prefix)

enum TFaxMode : std::uint16_t { kPass, kHorizontal, kVertical0, kVR1, kVR2, kVR3, kVL1, kVL2, kVL3,
                               kExtension };

extern const std::array<TFaxCode, 1u << kWhiteBits> kWhiteTable;
extern const std::array<TFaxCode, 1u << kBlackBits> kBlackTable;
extern const std::array<TFaxCode, 1u << kModeBits> kModeTable;

}  // namespace kestrel::fax
