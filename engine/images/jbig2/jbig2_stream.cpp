#include "engine/images/jbig2/jbig2_stream.h"

#include <algorithm>
#include <cstring>

#include "engine/images/jbig2/jbig2_halftone.h"
#include "engine/images/jbig2/jbig2_regions.h"
#include "engine/images/jbig2/jbig2_symbol.h"
#include "engine/images/jbig2/jbig2_text.h"

namespace kestrel::jbig2 {

namespace {

// Symbols one segment may draw on, from all the dictionaries it refers to.
constexpr std::size_t kMaxSymbols = 1u << 22;

constexpr std::uint8_t kFileSignature[8] = {0x97, 0x4A, 0x42, 0x32, 0x0D, 0x0A, 0x1A, 0x0A};

bool IsRegion(int type) {
  switch (type) {
    case kIntermediateText: case kImmediateText: case kImmediateLosslessText:
    case kIntermediateHalftone: case kImmediateHalftone: case kImmediateLosslessHalftone:
    case kIntermediateGeneric: case kImmediateGeneric: case kImmediateLosslessGeneric:
    case kIntermediateRefinement: case kImmediateRefinement: case kImmediateLosslessRefinement:
      return true;
    default: return false;
  }
}

bool IsIntermediate(int type) {
  return type == kIntermediateText || type == kIntermediateHalftone ||
         type == kIntermediateGeneric || type == kIntermediateRefinement;
}

}  // namespace

void TJBIG2StreamDecoder::Read(TByteSpan data) {
  TStreamReader in(data);
  bool randomAccess = false;
  try {
    if (data.size() >= 8 && std::memcmp(data.data(), kFileSignature, 8) == 0) {
      in.Skip(8);
      const int flags = in.U8();
      randomAccess = !(flags & 1);
      if (!(flags & 2)) in.Skip(4);  // the page count
    }
    ReadSegments(in, randomAccess);
  } catch (const TJBIG2Error& e) {
    if (error_.empty()) error_ = e.what();
  }
}

void TJBIG2StreamDecoder::ReadSegments(TStreamReader& in, bool randomAccess) {
  if (randomAccess) {
    std::vector<TSegmentHeader> headers;
    while (!in.AtEnd()) {
      headers.push_back(ReadSegmentHeader(in));
      if (headers.back().Type == kEndOfFile) break;
      if (headers.back().DataLength == kUnknownLength) Fail("JBIG2 segment length missing");
    }
    for (const TSegmentHeader& h : headers) {
      const TByteSpan part = in.Rest().first(std::min<std::size_t>(h.DataLength, in.Left()));
      in.Skip(part.size());
      if (!Decode(h, part)) return;
    }
    return;
  }
  while (!in.AtEnd()) {
    const TSegmentHeader h = ReadSegmentHeader(in);
    std::size_t length = h.DataLength;
    if (h.DataLength == kUnknownLength) {
      if (h.Type != kImmediateGeneric && h.Type != kImmediateLosslessGeneric)
        Fail("JBIG2 segment length missing");
      length = FindGenericRegionEnd(in.Rest());
    }
    const TByteSpan part = in.Rest().first(std::min(length, in.Left()));
    in.Skip(part.size());
    if (!Decode(h, part)) return;
  }
}

bool TJBIG2StreamDecoder::ForThisPage(const TSegmentHeader& h) const {
  return h.Page == 0 || h.Page == pageNumber_;
}

bool TJBIG2StreamDecoder::Decode(const TSegmentHeader& h, TByteSpan data) {
  if (h.Type == kEndOfFile) return false;
  if (!ForThisPage(h) && !(h.Type == kPageInformation && !pageSeen_)) return true;
  TStreamReader in(data);
  try {
    switch (h.Type) {
      case kPageInformation:
        if (pageSeen_) break;
        pageNumber_ = h.Page;
        PageInformation(in);
        break;
      case kEndOfPage:
        return false;
      case kEndOfStripe:
        if (pageSeen_ && heightUnknown_) {
          const std::uint32_t last = in.U32();
          if (last < 0x7FFFFFFF) Grow(std::int64_t(last) + 1);
        }
        break;
      case kSymbolDictionary: {
        auto dict = std::make_unique<TSymbolDictionarySegment>(h);
        ReadSymbolDictionary(in, Inputs(h), budget_, *dict);
        Keep(std::move(dict));
        break;
      }
      case kPatternDictionary: {
        auto dict = std::make_unique<TPatternDictionarySegment>(h);
        ReadPatternDictionary(in, budget_, *dict);
        Keep(std::move(dict));
        break;
      }
      case kTables: {
        auto table = std::make_unique<TTableSegment>(h);
        table->Table = ReadTableSegment(in);
        Keep(std::move(table));
        break;
      }
      default:
        if (IsRegion(h.Type)) DecodeRegion(h, in);
        break;  // profiles, extensions and unknown types carry nothing the page needs
    }
  } catch (const TJBIG2Error& e) {
    if (error_.empty()) error_ = e.what();
    // A segment of known length is passed over unless the image has cost its budget.
    if (h.DataLength == kUnknownLength || budget_.Exhausted()) throw;
  }
  return true;
}

void TJBIG2StreamDecoder::PageInformation(TStreamReader& in) {
  const std::uint32_t width = in.U32(), height = in.U32();
  in.Skip(8);  // resolutions
  const int flags = in.U8();
  const int striping = in.U16();
  defaultPixel_ = (flags >> 2) & 1;
  heightUnknown_ = height == 0xFFFFFFFF;
  const std::uint32_t rows = heightUnknown_ ? ((striping & 0x8000) ? striping & 0x7FFF : 0) : height;
  if (!BitmapSizeFits(width, rows)) Fail("JBIG2 page too large");
  budget_.ChargeArea(width, rows);
  page_ = TJBIG2Bitmap(int(width), int(rows), defaultPixel_);
  pageSeen_ = true;
}

void TJBIG2StreamDecoder::DecodeRegion(const TSegmentHeader& h, TStreamReader& in) {
  TRegionInfo info = ReadRegionInfo(in);
  const TSegmentInputs inputs = Inputs(h);
  TJBIG2Bitmap bitmap;
  try {
    switch (h.Type) {
      case kIntermediateText: case kImmediateText: case kImmediateLosslessText:
        ReadTextRegion(in, info, inputs, budget_, bitmap);
        break;
      case kIntermediateHalftone: case kImmediateHalftone: case kImmediateLosslessHalftone:
        ReadHalftoneRegion(in, info, inputs, budget_, bitmap);
        break;
      case kIntermediateGeneric: case kImmediateGeneric: case kImmediateLosslessGeneric:
        ReadGenericRegion(in, info, h.DataLength == kUnknownLength, budget_, bitmap);
        break;
      default: {
        // Refinement: of the referred intermediate region, or of the page under the region.
        TJBIG2Bitmap fromPage;
        const TJBIG2Bitmap* reference = inputs.Region ? &inputs.Region->Bitmap : nullptr;
        if (!reference) {
          if (!pageSeen_) Fail("JBIG2 refinement before the page");
          if (!BitmapSizeFits(info.Width, info.Height)) Fail("JBIG2 region too large");
          fromPage = page_.Crop(info.X, info.Y, int(info.Width), int(info.Height));
          reference = &fromPage;
        }
        ReadRefinementRegion(in, info, *reference, budget_, bitmap);
        break;
      }
    }
  } catch (const TJBIG2Error&) {
    if (!bitmap.Empty()) Place(h, info, std::move(bitmap));
    throw;
  }
  Place(h, info, std::move(bitmap));
}

void TJBIG2StreamDecoder::Place(const TSegmentHeader& h, const TRegionInfo& info,
                                TJBIG2Bitmap&& bitmap) {
  if (IsIntermediate(h.Type)) {
    auto region = std::make_unique<TRegionSegment>(h);
    region->Info = info;
    region->Bitmap = std::move(bitmap);
    Keep(std::move(region));
    return;
  }
  if (!pageSeen_) Fail("JBIG2 region before the page information");
  if (heightUnknown_) Grow(std::int64_t(info.Y) + bitmap.Height());
  page_.Combine(bitmap, info.X, info.Y, info.Op);
}

void TJBIG2StreamDecoder::Grow(std::int64_t height) {
  if (height <= page_.Height() || height > 0x7FFFFFFF) return;
  budget_.ChargeArea(std::uint64_t(page_.Width()), std::uint64_t(height - page_.Height()));
  page_.GrowTo(int(height), defaultPixel_);
}

TSegmentInputs TJBIG2StreamDecoder::Inputs(const TSegmentHeader& h) {
  TSegmentInputs in;
  for (std::uint32_t number : h.ReferredTo) {
    const auto it = byNumber_.find(number);
    if (it == byNumber_.end()) continue;
    TSegment* s = it->second;
    if (auto* dict = dynamic_cast<TSymbolDictionarySegment*>(s)) {
      budget_.Charge(dict->Exported.size());
      if (in.Symbols.size() + dict->Exported.size() > kMaxSymbols)
        Fail("JBIG2 segment refers to too many symbols");
      in.Symbols.insert(in.Symbols.end(), dict->Exported.begin(), dict->Exported.end());
      in.LastDictionary = dict;
    } else if (auto* table = dynamic_cast<TTableSegment*>(s)) {
      in.Tables.push_back(&table->Table);
    } else if (auto* patterns = dynamic_cast<TPatternDictionarySegment*>(s)) {
      if (!in.Patterns) in.Patterns = patterns;
    } else if (auto* region = dynamic_cast<TRegionSegment*>(s)) {
      if (!in.Region) in.Region = region;
    }
  }
  return in;
}

void TJBIG2StreamDecoder::Keep(std::unique_ptr<TSegment> segment) {
  byNumber_[segment->Header.Number] = segment.get();
  segments_.push_back(std::move(segment));
}

}  // namespace kestrel::jbig2
