#pragma once
// Bounds the content-stream renderer places on what a page can make it do. Each keeps a
// hostile page from exhausting memory or time; none is reached by ordinary documents.
#include <cstddef>

namespace kestrel::limits {

// Graphics states saved by q at once. Deeper q are counted but not saved, and as many Q are
// then ignored, so the nesting stays balanced.
inline constexpr std::size_t kMaxStateDepth = 256;

// Operands kept on the stack. Operators look only at the top, so when a page piles up more
// the oldest half is dropped.
inline constexpr std::size_t kMaxOperands = 65'536;

// Nesting of form XObjects (and other nested content) inside one page.
inline constexpr int kMaxFormDepth = 28;

// Form XObjects interpreted for one page in total: a few forms that each draw the next one
// several times would otherwise multiply into billions of drawings.
inline constexpr std::size_t kMaxFormInvocations = 200'000;

// Levels of forms looked into for blend modes before a page is drawn.
inline constexpr int kBlendScanFormDepth = 4;

// Type 3 glyph procedures nested inside each other (a glyph showing text in a Type 3 font).
inline constexpr int kMaxType3Depth = 8;

// Colour-space objects made for one page.
inline constexpr std::size_t kMaxColorSpaces = 4096;
// Bytes an embedded ICC profile may decode to (real ones stay below a few MiB).
inline constexpr std::size_t kMaxProfileBytes = std::size_t{16} << 20;

// Nesting of colour spaces inside each other (an Indexed base that is a Separation whose
// alternate is an ICC space ...).
inline constexpr int kMaxColorSpaceDepth = 8;

// Cached tint conversions of one Separation or DeviceN space before the cache is emptied.
inline constexpr std::size_t kMaxTintCacheEntries = 1000;

// Decoded form contents kept for reuse within one page, in bytes.
inline constexpr std::size_t kMaxContentCacheBytes = std::size_t{64} << 20;

// Components of one colour (DeviceN spaces stop at 32 colourants).
inline constexpr int kMaxColorComponents = 32;

// Segments of one path; later segments of a bigger path are dropped (each costs memory here
// and in the 2D library).
inline constexpr std::size_t kMaxPathSegments = 1'000'000;

// Pixels of one shading bitmap; larger areas are painted at a lower resolution and scaled.
inline constexpr double kMaxShadingPixels = 16'000'000;

// Cells of a tiling pattern drawn for one fill; a finer pattern over a larger area is not drawn.
inline constexpr double kMaxPatternTiles = 20'000;

// Tokens (operators and operands) one page may interpret, forms, patterns and annotations
// included: about a minute of work at worst. A page that needs more ends with an error and
// keeps what was drawn.
inline constexpr std::size_t kMaxPageTokens = 200'000'000;

// Shading pixels painted and shading function evaluations made for one page. Function
// programs may be costly, so their evaluations are counted; a page that needs more ends with
// an error and keeps what was drawn.
inline constexpr double kMaxPageShadingPixels = 2e9;
inline constexpr double kMaxPageFunctionEvaluations = 4e6;

// PDF functions.
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
