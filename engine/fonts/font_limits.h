#pragma once
// Bounds on work done for one glyph or one CMap taken from an untrusted font or file.
#include <cstddef>

namespace kestrel::limits {

// Operand stack of a charstring interpreter (Type 2 allows 48, Type 1 needs 24).
inline constexpr int kMaxCharstringStack = 48;

// Nested subroutine calls; the charstring formats allow 10.
inline constexpr int kMaxSubrDepth = 10;

// Operators executed for one glyph, subroutines and accents included. A font of nested
// subroutine calls could otherwise ask for billions.
inline constexpr int kMaxCharstringOperators = 50'000;

// Outline commands recorded for one glyph.
inline constexpr std::size_t kMaxGlyphCommands = 20'000;

// Highest CID a CMap or a CID-keyed font may name.
inline constexpr unsigned kMaxCID = 0xFFFF;

// Ranges of one embedded or predefined CMap, and usecmap links followed.
inline constexpr std::size_t kMaxCMapRanges = 200'000;
inline constexpr int kMaxUseCMapDepth = 4;

}  // namespace kestrel::limits
