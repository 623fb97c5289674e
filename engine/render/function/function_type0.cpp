#include "engine/render/function/function_type0.h"

#include <cmath>

#include "engine/render/renderer_limits.h"
#include "engine/render/function/function_support.h"

namespace kestrel {

using namespace function_detail;

namespace {

bool ValidBitsPerSample(int bits) {
  switch (bits) {
    case 1: case 2: case 4: case 8: case 12: case 16: case 24: case 32:
      return true;
    default:
      return false;
  }
}

// `count` bits (at most 32) at a bit offset, most significant first; bits past the end are 0.
std::uint64_t ReadBits(TByteView data, std::uint64_t offset, int count) {
  std::uint64_t value = 0;
  while (count > 0) {
    const std::uint64_t byteIndex = offset >> 3;
    const int used = static_cast<int>(offset & 7);
    const unsigned byte =
        byteIndex < data.size() ? static_cast<unsigned char>(data[byteIndex]) : 0u;
    const int available = 8 - used;
    const int take = available < count ? available : count;
    const unsigned bits = (byte >> (available - take)) & ((1u << take) - 1u);
    value = (value << take) | bits;
    count -= take;
    offset += static_cast<std::uint64_t>(take);
  }
  return value;
}

}  // namespace

std::unique_ptr<TPDFType0Function> TPDFType0Function::Create(const TPDFDictionary* dict,
                                                             TBytes samples) {
  std::unique_ptr<TPDFType0Function> f(new TPDFType0Function());
  ReadNumbers(dict, "Domain", f->Domain);
  ReadNumbers(dict, "Range", f->Range);
  ReadNumbers(dict, "Size", f->Size);
  f->BitsPerSample = dict->GetInteger("BitsPerSample", 0);
  f->Order = dict->GetInteger("Order", 1);
  const std::size_t m = f->Domain.size() / 2;
  const std::size_t n = f->Range.size() / 2;
  if (m > limits::kMaxFunctionDimensions || n > limits::kMaxFunctionDimensions) return nullptr;
  if (!ValidBitsPerSample(f->BitsPerSample) || f->Size.size() < m) return nullptr;

  // Table size in bits, checked against the limit after every factor: each factor is at most
  // 2^31 and so is the running product before it, so no product can overflow.
  constexpr std::uint64_t kMaxBits = std::uint64_t{limits::kMaxSampleTableBytes} * 8;
  std::uint64_t bits = static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(f->BitsPerSample);
  for (std::size_t i = 0; i < m; ++i) {
    const double size = RoundHalfEven(f->Size[i]);
    if (!(size >= 1 && size <= static_cast<double>(kMaxBits))) return nullptr;
    const auto s = static_cast<std::uint32_t>(size);
    f->sizes_.push_back(s);
    f->strides_.push_back(bits);
    bits *= s;
    if (bits > kMaxBits) return nullptr;
  }

  // Missing Encode and Decode pairs take their defaults: 0 and Size - 1; the Range pair.
  TPDFDoubleArray encode, decode;
  ReadNumbers(dict, "Encode", encode);
  ReadNumbers(dict, "Decode", decode);
  for (std::size_t i = 0; i < 2 * m; ++i)
    f->Encode.push_back(ElementOr(encode, i, i % 2 == 0 ? 0.0 : f->sizes_[i / 2] - 1.0));
  for (std::size_t i = 0; i < 2 * n; ++i) f->Decode.push_back(ElementOr(decode, i, f->Range[i]));

  f->samples_ = std::move(samples);
  f->sampleMax_ = std::ldexp(1.0, f->BitsPerSample) - 1;
  f->outputCount_ = static_cast<int>(n);
  return f;
}

void TPDFType0Function::Evaluate(std::span<const double> inputs, std::vector<double>& outputs) {
  const std::size_t m = sizes_.size();
  const std::size_t n = static_cast<std::size_t>(outputCount_);
  // Samples are interpolated linearly between the neighbours of every input (multilinear), as
  // ISO 32000 and every other renderer do: taking the nearest sample turns a two-entry tint
  // table into two flat colours. Past 8 inputs (256 corners) the nearest sample is taken.
  const bool interpolate = m <= 8;
  std::vector<std::uint64_t> lowOffset(m), highOffset(m);
  std::vector<double> fraction(m);
  std::uint64_t base = 0;
  for (std::size_t i = 0; i < m; ++i) {
    const double lo = Domain[2 * i], hi = Domain[2 * i + 1];
    const double x = Clamp(InputAt(inputs, i), lo, hi);
    double e = Interpolate(x, lo, hi, Encode[2 * i], Encode[2 * i + 1]);
    e = Clamp(e, 0, static_cast<double>(sizes_[i] - 1));
    if (!interpolate) {
      base += strides_[i] * static_cast<std::uint64_t>(RoundHalfEven(e));
      continue;
    }
    const double floorE = std::floor(e);
    const auto i0 = static_cast<std::uint64_t>(floorE);
    const std::uint64_t i1 = i0 + 1 < sizes_[i] ? i0 + 1 : i0;
    lowOffset[i] = strides_[i] * i0;
    highOffset[i] = strides_[i] * i1;
    fraction[i] = e - floorE;
  }
  outputs.assign(n, 0.0);
  const auto bits = static_cast<std::uint64_t>(BitsPerSample);
  std::vector<double> samples(n, 0.0);
  const std::size_t corners = interpolate ? std::size_t{1} << m : 1;
  for (std::size_t corner = 0; corner < corners; ++corner) {
    double weight = 1;
    std::uint64_t offset = base;
    if (interpolate) {
      for (std::size_t i = 0; i < m; ++i) {
        const bool high = (corner >> i) & 1;
        weight *= high ? fraction[i] : 1 - fraction[i];
        offset += high ? highOffset[i] : lowOffset[i];
      }
      if (weight == 0) continue;
    }
    for (std::size_t k = 0; k < n; ++k)
      samples[k] += weight * static_cast<double>(ReadBits(samples_, offset + k * bits, BitsPerSample));
  }
  for (std::size_t k = 0; k < n; ++k) {
    const double y = Interpolate(samples[k], 0, sampleMax_, Decode[2 * k], Decode[2 * k + 1]);
    outputs[k] = Clamp(y, Range[2 * k], Range[2 * k + 1]);
  }
  CheckOutputs(outputs);
}

}  // namespace kestrel
