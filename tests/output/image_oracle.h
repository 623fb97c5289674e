#pragma once
// Decodes image files with an independent decoder (Pillow, run through the system Python) so
// tests can compare our encoders' output pixel by pixel.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::oracle {

struct TOracleImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Pixels;         // rows top-down, in the requested mode
  std::map<std::string, std::string> Info;  // format, mode, dpi, icc (hex), compression, ...
};

// True when /usr/bin/python3 can import PIL (Debian package python3-pil).
bool OracleAvailable();

// Opens `file` with Pillow, converts it to `mode` ("RGB", "RGBA", "L", "CMYK") and returns its
// pixels; empty when Pillow cannot read it.
std::optional<TOracleImage> DecodeWithOracle(const std::string& file, const std::string& mode);

// Writes `pixels` (Width × Height in `mode`) with Pillow as `format` ("JPEG", ...) with the
// given save options as Python keyword text, e.g. "quality=95", after converting the picture
// to `convertTo` when that is not empty.
std::optional<std::string> EncodeWithOracle(const std::vector<std::uint8_t>& pixels, int width,
                                            int height, const std::string& mode,
                                            const std::string& format,
                                            const std::string& options = "",
                                            const std::string& convertTo = "");

}  // namespace kestrel::oracle
