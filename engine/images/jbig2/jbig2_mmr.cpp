#include <string>

#include "engine/images/fax/ccitt_decoder.h"
#include "engine/images/jbig2/jbig2_generic.h"

namespace kestrel::jbig2 {

std::size_t DecodeGenericMMR(TJBIG2Bitmap& out, TByteSpan data) {
  if (out.Empty()) return 0;
  const std::span<std::uint8_t> bits(out.Row(0), std::size_t(out.Stride()) * std::size_t(out.Height()));
  const TCCITTResult result =
      DecodeGroup4(TByteView(reinterpret_cast<const char*>(data.data()), data.size()), out.Width(),
                   out.Height(), bits);
  // Combining relies on clear bits past the width.
  if (out.Width() & 7) {
    const auto keep = std::uint8_t(0xFF << (8 - (out.Width() & 7)));
    for (int y = 0; y < out.Height(); ++y) out.Row(y)[out.Stride() - 1] &= keep;
  }
  if (!result.Error.empty()) Fail("JBIG2 MMR data damaged");
  return result.BytesUsed;
}

}  // namespace kestrel::jbig2
