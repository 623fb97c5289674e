// RunLength decoding (the PackBits scheme).
#include <algorithm>

#include "engine/syntax/filters.h"
#include "engine/syntax/filters_internal.h"
#include "engine/syntax/limits.h"

namespace kestrel {

namespace filters_detail {

TBytes DecodeRunLength(TByteView data, std::size_t maxOut) {
  TBytes out;
  out.reserve(std::min(data.size() * 2, maxOut));
  std::size_t pos = 0;
  while (pos < data.size() && out.size() < maxOut) {
    const unsigned length = static_cast<unsigned char>(data[pos++]);
    const std::size_t room = maxOut - out.size();
    if (length < 128) {
      // Literal run of length + 1 bytes (fewer when the data ends).
      const std::size_t count = std::min<std::size_t>({length + 1u, data.size() - pos, room});
      out.append(data.data() + pos, count);
      pos += std::min<std::size_t>(length + 1u, data.size() - pos);
    } else if (length == 128) {
      break;  // end of data
    } else {
      if (pos >= data.size()) break;
      out.append(std::min<std::size_t>(257 - length, room), data[pos++]);
    }
  }
  return out;
}

}  // namespace filters_detail

TBytes DecodeRunLength(TByteView data) {
  return filters_detail::DecodeRunLength(data, limits::kMaxDecodedStreamBytes);
}

}  // namespace kestrel
