#pragma once
// Fuzz harness body for the CCITT fax decoder, shared by the libFuzzer target and the
// seed-replay test. The first four bytes choose the coding, flags and size; the rest is the
// data. Every input ends with a bitmap of the size asked for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/images/fax/ccitt_samples.h"

namespace fuzzharness {

inline void CCITT(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return;
  kestrel::TCCITTFilterParams params;
  params.Coding.K = int(data[0] & 3) - 1;  // -1, 0, 1, 2
  params.Coding.EncodedByteAlign = data[0] & 4;
  params.Coding.EndOfLine = data[0] & 8;
  params.Coding.EndOfBlock = data[0] & 16;
  params.BlackIs1 = data[0] & 32;
  const int width = 1 + (data[1] | (data[2] & 15) << 8);  // up to 4096
  const int height = 1 + (data[3] & 127);
  params.Columns = data[2] & 16 ? width + (data[2] >> 5) - 4 : width;
  const kestrel::TByteView bytes(reinterpret_cast<const char*>(data) + 4, size - 4);

  std::vector<std::uint8_t> out((std::size_t(width) + 7) / 8 * std::size_t(height));
  const kestrel::TCCITTResult result =
      kestrel::TKesCCITTDecoder(width, height, params.Coding).Decode(bytes, out);
  if (result.Rows < 0 || result.Rows > height || result.BytesUsed > bytes.size()) std::abort();
  if (params.Coding.K < 0 && kestrel::DecodeGroup4(bytes, width, height, out).BytesUsed > bytes.size())
    std::abort();
  const kestrel::TBytes samples =
      kestrel::DecodeCCITTSamples(bytes, params, width, height, 1u << 20);
  if (samples.size() != out.size()) std::abort();
}

}  // namespace fuzzharness
