// Stream filters on arbitrary bytes. The first byte picks the decoder and the predictor
// parameters; the rest is the data. Round trips of the encoders are checked too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/syntax/filters.h"
#include "engine/syntax/filters_internal.h"

namespace {

using kestrel::TByteView;
using kestrel::TBytes;

// Small enough that bombs hit the cap quickly, large enough for real work.
constexpr std::size_t kFuzzCap = std::size_t{8} << 20;

kestrel::TPDFFlateParms ParmsFrom(std::uint8_t selector, TByteView& data) {
  kestrel::TPDFFlateParms p;
  static constexpr int kPredictors[] = {2, 10, 11, 12, 13, 14, 15, 5};
  static constexpr int kDepths[] = {1, 2, 4, 8, 16, 3, 12, 32};
  p.Predictor = kPredictors[(selector >> 3) & 7];
  p.BitsPerComponent = kDepths[((selector >> 6) & 3) | (data.empty() ? 0 : (data[0] & 4))];
  if (data.size() >= 2) {
    p.Colors = 1 + (static_cast<std::uint8_t>(data[0]) & 3);
    p.Columns = 1 + static_cast<std::uint8_t>(data[1]);
    // Occasionally absurd values, to exercise the size checks.
    if ((static_cast<std::uint8_t>(data[0]) & 0xf0) == 0xf0) p.Columns = 0x7fffffff;
    if ((static_cast<std::uint8_t>(data[0]) & 0xf0) == 0xe0) p.Colors = -1;
    data.remove_prefix(2);
  }
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = bytes[0];
  TByteView data(reinterpret_cast<const char*>(bytes + 1), size - 1);
  namespace fd = kestrel::filters_detail;
  switch (selector & 7) {
    case 0:
      (void)fd::Inflate(data, kFuzzCap);
      break;
    case 1: {
      const auto parms = ParmsFrom(selector, data);
      (void)kestrel::ApplyPredictor(fd::Inflate(data, kFuzzCap), parms);
      (void)kestrel::ApplyPredictor(TBytes(data), parms);
      break;
    }
    case 2:
    case 3: {
      const auto parms = ParmsFrom(selector, data);
      (void)kestrel::ApplyPredictor(fd::DecodeLZW(data, (selector & 7) == 2, kFuzzCap), parms);
      break;
    }
    case 4:
      (void)fd::DecodeASCII85(data, kFuzzCap);
      if (kestrel::DecodeASCII85(kestrel::EncodeASCII85(data)) != data) std::abort();
      break;
    case 5:
      (void)kestrel::DecodeASCIIHex(data);
      break;
    case 6:
      (void)fd::DecodeRunLength(data, kFuzzCap);
      break;
    case 7:
      if (kestrel::InflateBytes(kestrel::DeflateBytes(data)) != data) std::abort();
      break;
  }
  return 0;
}
