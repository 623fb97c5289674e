#pragma once
// The T.4 run-length codes and the two-dimensional mode codes as lookup tables indexed by the
// next bits of the data, so that every code is found with one peek and one table read.
#include <array>
#include <cstdint>

namespace kestrel::fax {

// One table entry: the run (or mode) a code stands for and how many bits it takes; Bits 0
// marks bits that start no code.
struct TFaxCode {
  std::int16_t Value = 0;
  std::uint8_t Bits = 0;
};

inline constexpr std::int16_t kEol = -1;  // 000000000001, in either colour's table

inline constexpr int kWhiteBits = 12;  // longest white code (and the EOL)
inline constexpr int kBlackBits = 13;  // longest black code
inline constexpr int kModeBits = 7;    // longest mode code (the extension prefix)

enum TFaxMode : std::int16_t { kPass, kHorizontal, kVertical0, kVR1, kVR2, kVR3, kVL1, kVL2, kVL3,
                               kExtension };

const std::array<TFaxCode, 1u << kWhiteBits>& WhiteCodes();
const std::array<TFaxCode, 1u << kBlackBits>& BlackCodes();
const std::array<TFaxCode, 1u << kModeBits>& ModeCodes();

}  // namespace kestrel::fax
