#pragma once
// Bounds the reader places on cross-reference data, the page tree, optional content and the
// form field tree of untrusted files.
#include <cstddef>
#include <cstdint>

namespace kestrel::limits {

// Nested object loads (a stream "Length" or an object stream that needs another object).
inline constexpr int kMaxLoadDepth = 16;

// Sections of cross-reference data followed through "Prev".
inline constexpr int kMaxXRefSections = 4096;

// Largest object number a cross-reference section may declare; bigger tables are refused
// because the table is a dense array indexed by object number.
inline constexpr std::int64_t kMaxObjectNumber = 8'388'607;

// Page-tree levels walked before a lookup gives up (a deeper tree is a cycle or an attack).
inline constexpr int kMaxPageTreeDepth = 64;

// Nesting of optional-content visibility expressions (And, Or, Not) evaluated before the
// expression counts as broken.
inline constexpr int kMaxVisibilityExpressionDepth = 32;

// Levels of the interactive form's field tree read (Kids within Kids), the fields read in all,
// and the Parent links followed when a field inherits an entry.
inline constexpr int kMaxFieldTreeDepth = 64;
inline constexpr std::size_t kMaxFormFields = 100'000;

}  // namespace kestrel::limits
