#include "app/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <memory>

namespace plover {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// One iconv conversion descriptor, closed when it goes out of scope.
class TIconv {
 public:
  TIconv(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
  ~TIconv() {
    if (Valid()) ::iconv_close(cd_);
  }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts the whole input. On a sequence the target cannot take, `onBad` decides: it returns
  // false to give up, or true after it has appended a replacement; one input byte is skipped.
  template <typename OnBad>
  bool Convert(std::string_view in, std::string& out, OnBad onBad) {
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[1024];
    while (srcLeft > 0) {
      char* dst = buffer;
      std::size_t dstLeft = sizeof buffer;
      const std::size_t rc = ::iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (rc != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ: a bad sequence; EINVAL: a sequence cut off by the end of the input.
      if (!onBad(out)) return false;
      ++src;
      --srcLeft;
      ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    ::iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const auto b0 = static_cast<std::uint8_t>(bytes[i]);
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2;
      code = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3;
      code = b0 & 0x0Fu;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4;
      code = b0 & 0x07u;
    } else {
      return false;
    }
    if (n - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto b = static_cast<std::uint8_t>(bytes[i + k]);
      if ((b & 0xC0u) != 0x80u) return false;
      code = (code << 6) | (b & 0x3Fu);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000)) return false;
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

std::string GbkToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  // GB18030 decodes every GBK sequence and is the most forgiving table glibc has.
  auto cd = std::make_unique<TIconv>("UTF-8", "GB18030");
  if (!cd->Valid()) cd = std::make_unique<TIconv>("UTF-8", "GBK");
  if (!cd->Valid()) {
    // No table at all: keep ASCII, mark everything else.
    for (char c : bytes) {
      if (static_cast<std::uint8_t>(c) < 0x80) out.push_back(c);
      else out.append(kReplacement);
    }
    return out;
  }
  cd->Convert(bytes, out, [](std::string& o) {
    o.append(kReplacement);
    return true;
  });
  return out;
}

std::optional<std::string> Utf8ToGbk(std::string_view text) {
  if (!IsValidUtf8(text)) return std::nullopt;
  TIconv cd("GBK", "UTF-8");
  if (!cd.Valid()) return std::nullopt;
  std::string out;
  out.reserve(text.size());
  if (!cd.Convert(text, out, [](std::string&) { return false; })) return std::nullopt;
  return out;
}

std::string DecodeIniText(std::string_view bytes) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return GbkToUtf8(bytes);
}

}  // namespace plover
