#pragma once
// Segment headers, the region information field, and what segments leave behind for later
// segments that refer to them (symbols, patterns, tables, intermediate region bitmaps).
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "engine/images/jbig2/jbig2_arith.h"
#include "engine/images/jbig2/jbig2_bitmap.h"
#include "engine/images/jbig2/jbig2_huffman.h"
#include "engine/images/jbig2/jbig2_reader.h"

namespace kestrel::jbig2 {

inline constexpr std::uint32_t kUnknownLength = 0xFFFFFFFF;

enum TSegmentType : int {
  kSymbolDictionary = 0,
  kIntermediateText = 4,
  kImmediateText = 6,
  kImmediateLosslessText = 7,
  kPatternDictionary = 16,
  kIntermediateHalftone = 20,
  kImmediateHalftone = 22,
  kImmediateLosslessHalftone = 23,
  kIntermediateGeneric = 36,
  kImmediateGeneric = 38,
  kImmediateLosslessGeneric = 39,
  kIntermediateRefinement = 40,
  kImmediateRefinement = 42,
  kImmediateLosslessRefinement = 43,
  kPageInformation = 48,
  kEndOfPage = 49,
  kEndOfStripe = 50,
  kEndOfFile = 51,
  kProfiles = 52,
  kTables = 53,
  kExtension = 62,
};

struct TSegmentHeader {
  std::uint32_t Number = 0;
  int Type = 0;                    // low 6 bits of the flags
  bool PageAssociationLong = false;  // bit 6: the page association takes 4 bytes
  bool DeferredNonRetain = false;
  std::vector<std::uint32_t> ReferredTo;
  std::uint32_t Page = 0;
  std::uint32_t DataLength = kUnknownLength;
};

// Throws TJBIG2Error when the header runs past the data.
TSegmentHeader ReadSegmentHeader(TStreamReader& in);

struct TRegionInfo {
  std::uint32_t Width = 0, Height = 0;
  std::int32_t X = 0, Y = 0;
  TCombineOp Op = TCombineOp::Or;
};

TRegionInfo ReadRegionInfo(TStreamReader& in);

// Region bitmap of Info's size, or a failure past the bitmap limit.
TJBIG2Bitmap RegionBitmap(const TRegionInfo& info, int fill = 0);

class TSegment {
 public:
  explicit TSegment(TSegmentHeader header) : Header(std::move(header)) {}
  virtual ~TSegment() = default;
  TSegmentHeader Header;
};

class TSymbolDictionarySegment final : public TSegment {
 public:
  using TSegment::TSegment;
  std::deque<TJBIG2Bitmap> NewSymbols;          // owned; addresses stay put
  std::vector<const TJBIG2Bitmap*> Exported;    // input and new symbols it exports
  // Arithmetic contexts kept for a later dictionary that reuses them (BITMAP_CC_RETAINED).
  std::vector<TContext> GenericContexts, RefinementContexts;
  int Template = 0, RefinementTemplate = 0;
};

class TPatternDictionarySegment final : public TSegment {
 public:
  using TSegment::TSegment;
  std::vector<TJBIG2Bitmap> Patterns;
};

class TTableSegment final : public TSegment {
 public:
  using TSegment::TSegment;
  THuffmanTable Table;
};

// An intermediate region kept for a refinement region that refers to it.
class TRegionSegment final : public TSegment {
 public:
  using TSegment::TSegment;
  TRegionInfo Info;
  TJBIG2Bitmap Bitmap;
};

// What a segment's referred-to segments supply, in the order they are referred to.
struct TSegmentInputs {
  std::vector<const TJBIG2Bitmap*> Symbols;
  std::vector<const THuffmanTable*> Tables;
  const TSymbolDictionarySegment* LastDictionary = nullptr;
  const TPatternDictionarySegment* Patterns = nullptr;
  TRegionSegment* Region = nullptr;
};

// Hands out referred custom tables in order.
class TTableCursor {
 public:
  explicit TTableCursor(const std::vector<const THuffmanTable*>& tables) : tables_(tables) {}
  const THuffmanTable& Next() {
    if (next_ >= tables_.size()) Fail("JBIG2 custom Huffman table missing");
    return *tables_[next_++];
  }

 private:
  const std::vector<const THuffmanTable*>& tables_;
  std::size_t next_ = 0;
};

}  // namespace kestrel::jbig2
