#include "engine/images/jbig2/jbig2_segments.h"

namespace kestrel::jbig2 {

TSegmentHeader ReadSegmentHeader(TStreamReader& in) {
  TSegmentHeader h;
  h.Number = in.U32();
  const int flags = in.U8();
  h.Type = flags & 0x3F;
  h.PageAssociationLong = flags & 0x40;
  h.DeferredNonRetain = (flags & 0x80) != 0;
  const int first = in.U8();
  std::uint32_t count = std::uint32_t(first) >> 5;
  if (count == 7) {
    // Long form: a 29-bit count, then one retain bit for this segment and each referred one.
    in.Seek(in.Position() - 1);
    count = in.U32() & 0x1FFFFFFF;
    in.Skip((std::size_t(count) + 8) / 8);
  } else if (count > 4) {
    Fail("JBIG2 segment header damaged");
  }
  const int numberBytes = h.Number <= 256 ? 1 : h.Number <= 65536 ? 2 : 4;
  if (std::uint64_t(count) * std::uint64_t(numberBytes) > in.Left())
    Fail("JBIG2 segment header ends early");
  h.ReferredTo.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i)
    h.ReferredTo.push_back(numberBytes == 1 ? in.U8() : numberBytes == 2 ? in.U16() : in.U32());
  h.Page = h.PageAssociationLong ? in.U32() : in.U8();
  if (h.Type != kEndOfFile) h.DataLength = in.U32();
  else h.DataLength = 0;
  return h;
}

TRegionInfo ReadRegionInfo(TStreamReader& in) {
  TRegionInfo r;
  r.Width = in.U32();
  r.Height = in.U32();
  r.X = in.S32();
  r.Y = in.S32();
  const int op = in.U8() & 7;
  r.Op = op <= 4 ? TCombineOp(op) : TCombineOp::Or;
  return r;
}

TJBIG2Bitmap RegionBitmap(const TRegionInfo& info, int fill) {
  if (!BitmapSizeFits(info.Width, info.Height)) Fail("JBIG2 region too large");
  return TJBIG2Bitmap(int(info.Width), int(info.Height), fill);
}

}  // namespace kestrel::jbig2
