#pragma once
// Reads a JBIG2 stream's segments in order and runs one decoder per segment type; immediate
// regions are drawn into the page bitmap, everything else is kept for later segments.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/images/jbig2/jbig2_segments.h"

namespace kestrel::jbig2 {

class TJBIG2StreamDecoder {
 public:
  explicit TJBIG2StreamDecoder(std::uint64_t maxPixels = limits::kMaxJBIG2DecodedPixels)
      : budget_(maxPixels) {}

  // Reads the segments of `data`: a stand-alone JBIG2 file (with its signature) or the
  // embedded form PDF uses. Globals are read first by the same decoder. Damaged data ends
  // reading (a damaged segment of known length is passed over); what was decoded stays.
  void Read(TByteSpan data);

  // The page bitmap, or null when no page information was read.
  const TJBIG2Bitmap* Page() const { return pageSeen_ ? &page_ : nullptr; }
  // Why reading stopped early, or empty.
  const std::string& Error() const { return error_; }

 private:
  void ReadSegments(TStreamReader& in, bool randomAccess);
  // False when reading stops (end of file, end of the page).
  bool Decode(const TSegmentHeader& header, TByteSpan data);
  void DecodeRegion(const TSegmentHeader& header, TStreamReader& in);
  void PageInformation(TStreamReader& in);
  void Place(const TSegmentHeader& header, const TRegionInfo& info, TJBIG2Bitmap&& bitmap);
  TSegmentInputs Inputs(const TSegmentHeader& header);
  void Keep(std::unique_ptr<TSegment> segment);
  // A page of unknown height grows down to `height` rows.
  void Grow(std::int64_t height);
  bool ForThisPage(const TSegmentHeader& header) const;

  TPixelBudget budget_;
  std::vector<std::unique_ptr<TSegment>> segments_;
  std::unordered_map<std::uint32_t, TSegment*> byNumber_;
  TJBIG2Bitmap page_;
  bool pageSeen_ = false, heightUnknown_ = false;
  int defaultPixel_ = 0;
  std::uint32_t pageNumber_ = 1;
  std::string error_;
};

}  // namespace kestrel::jbig2
