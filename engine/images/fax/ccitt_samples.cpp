#include "engine/images/fax/ccitt_samples.h"

#include <climits>
#include <span>

namespace kestrel {

TBytes DecodeCCITTSamples(TByteView data, const TCCITTFilterParams& params, int width, int height,
                          std::uint64_t maxBytes) {
  if (width <= 0 || height <= 0) return {};
  const std::uint64_t stride = (std::uint64_t(width) + 7) / 8;
  const std::uint64_t total = stride * std::uint64_t(height);
  if (total > maxBytes) return {};
  int columns = params.Columns;
  std::uint64_t columnBytes = (std::uint64_t(columns) + 7) / 8;
  // A decoded row longer than the whole image is no use: decode at the image's width.
  if (columns <= 0 || columnBytes > total) {
    columns = width;
    columnBytes = stride;
  }
  const std::uint64_t rows = (total + columnBytes - 1) / columnBytes;
  if (rows > INT_MAX) return {};
  TBytes out(rows * columnBytes, '\0');
  TKesCCITTDecoder(columns, int(rows), params.Coding)
      .Decode(data, std::span(reinterpret_cast<std::uint8_t*>(out.data()), out.size()));
  // The bits past a row's last pixel are black, as in other readers: they show when the
  // image's rows are cut differently.
  if (const int spare = int(columnBytes * 8 - std::uint64_t(columns)); spare > 0)
    for (std::uint64_t end = columnBytes; end <= out.size(); end += columnBytes)
      out[end - 1] = char(out[end - 1] | (0xFF >> (8 - spare)));
  out.resize(total);
  if (!params.BlackIs1)
    for (char& c : out) c = char(~c);
  return out;
}

}  // namespace kestrel
