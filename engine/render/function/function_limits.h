#pragma once
// Bounds on PDF functions taken from untrusted files.
#include <cstddef>

namespace kestrel::limits {

// Inputs and outputs of one function: DeviceN spaces stop at 32 colourants.
inline constexpr int kMaxFunctionDimensions = 32;

// Levels of a function tree (stitching functions inside stitching functions); deeper entries,
// and entries that refer back to one of their parents, are left empty.
inline constexpr int kMaxFunctionDepth = 8;

// Functions built for one top-level function, so a wide tree of shared references stays small.
inline constexpr int kMaxFunctionsPerTree = 1024;

// Bytes a sampled function's table may declare (Size product x outputs x BitsPerSample).
inline constexpr std::size_t kMaxSampleTableBytes = std::size_t{256} << 20;

// Operand stack of a calculator function; pushes beyond it are dropped.
inline constexpr std::size_t kMaxCalculatorStack = 1000;

// Procedures nested inside each other in a calculator program.
inline constexpr int kMaxCalculatorNesting = 100;

// Instructions of one calculator program, and instructions run by one evaluation.
inline constexpr std::size_t kMaxCalculatorOps = 100'000;

}  // namespace kestrel::limits
