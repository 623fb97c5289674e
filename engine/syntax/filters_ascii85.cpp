// ASCII base-85 decoding and encoding ("<~" ... "~>" framing without the "<~").
#include <algorithm>
#include <array>
#include <cstdint>

#include "engine/syntax/filters.h"
#include "engine/syntax/filters_internal.h"
#include "engine/syntax/limits.h"

namespace kestrel {
namespace {

constexpr std::uint64_t kMaxGroupValue = 0xffffffffu;
constexpr std::size_t kLineLimit = 70;

// Appends the first `count` big-endian bytes of a group value; false when the cap cut in.
bool PutGroup(TBytes& out, std::uint64_t value, std::size_t count, std::size_t maxOut) {
  bool fits = true;
  if (count > maxOut - out.size()) {
    count = maxOut - out.size();
    fits = false;
  }
  for (std::size_t i = 0; i < count; ++i) {
    out.push_back(static_cast<char>(value >> (24 - 8 * i)));
  }
  return fits;
}

}  // namespace

namespace filters_detail {

TBytes DecodeASCII85(TByteView data, std::size_t maxOut) {
  TBytes out;
  out.reserve(std::min(data.size() / 5 * 4 + 4, maxOut));
  std::uint64_t value = 0;
  int count = 0;
  // Adds one base-85 digit; a completed group is written out.
  auto addDigit = [&](unsigned digit) {
    value = value * 85 + digit;
    if (++count < 5) return true;
    const std::uint64_t group = value > kMaxGroupValue ? 0 : value;
    value = 0;
    count = 0;
    return PutGroup(out, group, 4, maxOut);
  };
  for (const char ch : data) {
    const auto c = static_cast<unsigned char>(ch);
    // "~" starts the end marker; a missing marker simply means the data ends here.
    if (c == '~') break;
    bool fits = true;
    if (c >= '!' && c <= 'u') {
      fits = addDigit(c - '!');
    } else if (c == 'z') {
      // Stands for "!!!!!" (a group of four zero bytes).
      for (int i = 0; i < 5 && fits; ++i) fits = addDigit(0);
    }  // whitespace and other bytes are ignored
    if (!fits) return out;
  }
  if (count >= 2) {
    // A final partial group of n digits is padded with "u" and gives n - 1 bytes.
    const int digits = count;
    for (int i = digits; i < 5; ++i) value = value * 85 + 84;
    PutGroup(out, value >= kMaxGroupValue ? 0 : value, static_cast<std::size_t>(digits - 1),
             maxOut);
  }
  return out;
}

}  // namespace filters_detail

TBytes DecodeASCII85(TByteView data) {
  return filters_detail::DecodeASCII85(data, limits::kMaxDecodedStreamBytes);
}

TBytes EncodeASCII85(TByteView data) {
  TBytes out;
  out.reserve(data.size() / 4 * 5 + data.size() / 28 + 8);
  std::size_t lineLength = 0;
  for (std::size_t pos = 0; pos < data.size(); pos += 4) {
    const std::size_t count = std::min<std::size_t>(4, data.size() - pos);
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      const std::uint32_t byte = i < count ? static_cast<std::uint8_t>(data[pos + i]) : 0;
      value = (value << 8) | byte;
    }
    if (count == 4 && value == 0) {
      out.push_back('z');
      ++lineLength;
    } else {
      std::array<char, 5> digits{};
      for (int i = 4; i >= 0; --i) {
        digits[static_cast<std::size_t>(i)] = static_cast<char>('!' + value % 85);
        value /= 85;
      }
      out.append(digits.data(), count + 1);
      lineLength += count + 1;
    }
    if (lineLength > kLineLimit) {
      out += "\r\n";
      lineLength = 0;
    }
  }
  out += "~>";
  return out;
}

}  // namespace kestrel
