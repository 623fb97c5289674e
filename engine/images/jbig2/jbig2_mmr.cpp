#include "engine/images/jbig2/jbig2_generic.h"

namespace kestrel::jbig2 {

std::size_t DecodeGenericMMR(TJBIG2Bitmap&, TByteSpan) {
  Fail("JBIG2 MMR data is not decoded yet");
}

}  // namespace kestrel::jbig2
