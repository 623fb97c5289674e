#pragma once
// A small independent GIF reader (the LZW decoder works the way common GIF decoders do) and
// the fuzz harness body for the GIF writer and the monochrome ditherer, shared by the libFuzzer
// target, the seed-replay test and the unit tests.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/output/gif/gif_lzw.h"
#include "engine/output/gif/gif_writer.h"
#include "engine/output/gif/stucki_ditherer.h"

namespace fuzzharness {

struct TDecodedLZW {
  bool Ok = false;
  std::string Error;
  std::vector<std::uint8_t> Indices;
  int ClearCodes = 0;
  // Width in bits of every code read, in order (clear and end codes included).
  std::vector<int> CodeWidths;
  std::vector<int> Codes;
  bool EndCodeSeen = false;
};

// Decodes GIF LZW data (`minCodeSize` and the concatenated sub-block payloads). Stops at the
// end code; stops with an error on a code that is not yet defined.
inline TDecodedLZW DecodeGIFLZW(int minCodeSize, std::string_view data,
                                std::size_t maxPixels = std::size_t{1} << 28) {
  TDecodedLZW r;
  if (minCodeSize < 2 || minCodeSize > 8) {
    r.Error = "bad minimum code size";
    return r;
  }
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  std::vector<int> prefix(4096, -1);
  std::vector<std::uint8_t> suffix(4096, 0);
  std::vector<std::uint8_t> first(4096, 0);
  for (int i = 0; i < clear; ++i) {
    suffix[i] = first[i] = static_cast<std::uint8_t>(i);
  }
  int width = minCodeSize + 1;
  int next = end + 1;
  int previous = -1;
  std::size_t bitPos = 0;
  const std::size_t totalBits = data.size() * 8;
  std::vector<std::uint8_t> stack;
  while (true) {
    if (bitPos + static_cast<std::size_t>(width) > totalBits) {
      r.Error = "data ends before the end code";
      return r;
    }
    int code = 0;
    for (int b = 0; b < width; ++b, ++bitPos) {
      const int bit = (static_cast<std::uint8_t>(data[bitPos / 8]) >> (bitPos % 8)) & 1;
      code |= bit << b;
    }
    r.Codes.push_back(code);
    r.CodeWidths.push_back(width);
    if (code == clear) {
      ++r.ClearCodes;
      width = minCodeSize + 1;
      next = end + 1;
      previous = -1;
      continue;
    }
    if (code == end) {
      r.EndCodeSeen = true;
      break;
    }
    if (previous < 0) {
      if (code >= clear) {
        r.Error = "first code after a clear is not a literal";
        return r;
      }
      r.Indices.push_back(static_cast<std::uint8_t>(code));
      previous = code;
      continue;
    }
    int walk;
    std::uint8_t head;
    if (code < next) {
      walk = code;
      head = first[code];
    } else if (code == next && next < 4096) {
      walk = previous;
      head = first[previous];
    } else {
      r.Error = "code " + std::to_string(code) + " is not defined (next " + std::to_string(next) +
                ")";
      return r;
    }
    stack.clear();
    if (code == next) stack.push_back(head);
    for (int c = walk; c >= 0; c = prefix[c]) stack.push_back(suffix[c]);
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) r.Indices.push_back(*it);
    if (r.Indices.size() > maxPixels) {
      r.Error = "too many pixels";
      return r;
    }
    if (next < 4096) {
      prefix[next] = previous;
      suffix[next] = head;
      first[next] = first[previous];
      ++next;
      if (next == (1 << width) && width < 12) ++width;
    }
    previous = code;
  }
  // Whatever follows the end code in the last byte must be padding.
  r.Ok = true;
  return r;
}

struct TParsedGIF {
  bool Ok = false;
  std::string Error;
  int ScreenWidth = 0, ScreenHeight = 0, ScreenFlags = 0, Background = 0, Aspect = 0;
  int Left = 0, Top = 0, Width = 0, Height = 0, ImageFlags = 0;
  std::vector<kestrel::TGIFColor> Palette;
  int MinCodeSize = 0;
  std::vector<int> SubBlockSizes;  // the terminator excluded
  std::string LZWData;
  TDecodedLZW Decoded;
};

// Reads a single-image GIF87a file of the layout the writer produces and decodes its pixels.
inline TParsedGIF ParseGIF(std::string_view file) {
  TParsedGIF g;
  std::size_t at = 0;
  auto byte = [&](int& v) {
    if (at >= file.size()) return false;
    v = static_cast<std::uint8_t>(file[at++]);
    return true;
  };
  auto word = [&](int& v) {
    int lo, hi;
    if (!byte(lo) || !byte(hi)) return false;
    v = lo | (hi << 8);
    return true;
  };
  auto fail = [&](const char* why) {
    g.Error = why;
    return g;
  };
  if (file.substr(0, 6) != "GIF87a") return fail("no GIF87a signature");
  at = 6;
  if (!word(g.ScreenWidth) || !word(g.ScreenHeight) || !byte(g.ScreenFlags) ||
      !byte(g.Background) || !byte(g.Aspect)) {
    return fail("short screen descriptor");
  }
  int separator;
  if (!byte(separator) || separator != 0x2C) return fail("no image descriptor");
  if (!word(g.Left) || !word(g.Top) || !word(g.Width) || !word(g.Height) ||
      !byte(g.ImageFlags)) {
    return fail("short image descriptor");
  }
  if (g.ImageFlags & 0x80) {
    const int entries = 2 << (g.ImageFlags & 7);
    for (int i = 0; i < entries; ++i) {
      int r, gr, b;
      if (!byte(r) || !byte(gr) || !byte(b)) return fail("short colour table");
      g.Palette.push_back({std::uint8_t(r), std::uint8_t(gr), std::uint8_t(b)});
    }
  }
  if (!byte(g.MinCodeSize)) return fail("no minimum code size");
  while (true) {
    int size;
    if (!byte(size)) return fail("sub-blocks run past the end");
    if (size == 0) break;
    if (file.size() - at < static_cast<std::size_t>(size)) return fail("short sub-block");
    g.SubBlockSizes.push_back(size);
    g.LZWData.append(file.substr(at, static_cast<std::size_t>(size)));
    at += static_cast<std::size_t>(size);
  }
  int trailer;
  if (!byte(trailer) || trailer != 0x3B) return fail("no trailer");
  if (at != file.size()) return fail("bytes after the trailer");
  g.Decoded = DecodeGIFLZW(g.MinCodeSize, g.LZWData,
                           std::size_t(g.Width) * std::size_t(g.Height) + 4096);
  if (!g.Decoded.Ok) return fail("LZW data does not decode");
  g.Ok = true;
  return g;
}

// The ditherer as a plain whole-picture error buffer: a second, simpler formulation to compare
// the row-rotating one against.
inline std::vector<std::uint8_t> ReferenceStucki(int width, int height,
                                                 std::span<const std::uint8_t> rgb) {
  const int w = width + 4;
  std::vector<int> err(static_cast<std::size_t>(w) * (height + 2) * 3, 0);
  auto cell = [&](int x, int y, int c) -> int& {
    return err[(static_cast<std::size_t>(y) * w + (x + 2)) * 3 + c];
  };
  static const int kNext[5] = {2, 4, 8, 4, 2};
  static const int kAfter[5] = {1, 2, 4, 2, 1};
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const int d = y % 2 == 0 ? 1 : -1;
    for (int i = 0; i < width; ++i) {
      const int x = d > 0 ? i : width - 1 - i;
      int v[3];
      for (int c = 0; c < 3; ++c) {
        const int e = cell(x, y, c) + 21;
        // Division truncating toward zero, written out.
        const int q = e >= 0 ? e / 42 : -((-e) / 42);
        v[c] = std::min(255, std::max(0, rgb[(std::size_t(y) * width + x) * 3 + c] + q));
      }
      const bool white = 77 * v[0] + 150 * v[1] + 29 * v[2] > 32512;
      out[std::size_t(y) * width + x] = white ? 1 : 0;
      for (int c = 0; c < 3; ++c) {
        const int e = v[c] - (white ? 255 : 0);
        cell(x + d, y, c) += 8 * e;
        cell(x + 2 * d, y, c) += 4 * e;
        for (int k = -2; k <= 2; ++k) {
          cell(x + k * d, y + 1, c) += kNext[k + 2] * e;
          cell(x + k * d, y + 2, c) += kAfter[k + 2] * e;
        }
      }
    }
  }
  return out;
}

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
  }
}

// Builds a picture from the input: the first two bytes give the size (up to 96 × 64), the
// third how colours are made (the input bytes themselves, a few-colour selection, or a
// generator seeded by the input for pictures with thousands of colours).
inline void GIFWriterRoundTrip(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return;
  const int width = 1 + data[0] % 96;
  const int height = 1 + data[1] % 64;
  const int mode = data[2] % 4;
  std::span<const std::uint8_t> rest(data + 3, size - 3);
  std::optional<kestrel::TRasterImage> image = kestrel::TRasterImage::Create(width, height, 96);
  Check(image.has_value(), "picture");
  std::uint32_t seed = 0x9E3779B9u;
  for (std::uint8_t b : rest.first(std::min<std::size_t>(rest.size(), 16))) {
    seed = seed * 33 + b;
  }
  if (seed == 0) seed = 1;
  std::size_t k = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x, ++k) {
      std::uint32_t rgb = 0;
      if (!rest.empty()) {
        const std::size_t n = rest.size();
        if (mode == 0) {
          rgb = (std::uint32_t(rest[(3 * k) % n]) << 16) |
                (std::uint32_t(rest[(3 * k + 1) % n]) << 8) | rest[(3 * k + 2) % n];
        } else if (mode == 1) {
          const std::uint8_t v = rest[k % n] % 6;
          rgb = std::uint32_t(v) * 0x2A3B4C;
        }
      }
      if (mode >= 2) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        rgb = mode == 2 ? (seed & 0xFFFFFF) : (seed & 0x0F0F0F);
      }
      image->SetPixel(x, y, rgb & 0xFFFFFF);
    }
  }

  kestrel::TPDFGIFWriter writer;
  writer.SetFrom(*image);
  Check(!writer.Empty(), "writer filled");
  Check(writer.ColorCount() >= 1 && writer.ColorCount() <= 256, "colour count");
  std::set<std::uint32_t> distinct;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) distinct.insert(image->Pixel(x, y));
  }
  // Up to 256 colours need no reduction: every one of them is in the palette exactly.
  if (distinct.size() <= 256) {
    Check(std::size_t(writer.ColorCount()) == distinct.size(), "one entry per colour");
    std::set<std::uint32_t> palette;
    for (int i = 0; i < writer.ColorCount(); ++i) {
      const kestrel::TGIFColor& c = writer.Palette()[i];
      palette.insert((std::uint32_t(c.Red) << 16) | (std::uint32_t(c.Green) << 8) | c.Blue);
    }
    Check(palette == distinct, "palette holds the colours");
  }
  for (std::uint8_t index : writer.Indices()) Check(index < writer.ColorCount(), "index in use");

  const kestrel::TBytes file = writer.WriteTo();
  const TParsedGIF gif = ParseGIF(file);
  Check(gif.Ok, gif.Error.c_str());
  Check(gif.Width == width && gif.Height == height, "size");
  Check(gif.MinCodeSize == 8, "minimum code size");
  Check(gif.Palette.size() == 256, "palette size");
  for (int i = 0; i < 256; ++i) Check(gif.Palette[i] == writer.Palette()[i], "palette bytes");
  Check(gif.Decoded.Indices == writer.Indices(), "indices round trip");
  for (std::size_t i = 0; i + 1 < gif.SubBlockSizes.size(); ++i) {
    Check(gif.SubBlockSizes[i] == 255, "full sub-blocks before the last");
  }

  // The encoder on the raw input bytes as indices.
  kestrel::TGIFEncoder encoder;
  kestrel::TBytes lzw;
  encoder.Compress(rest, lzw);
  Check(!lzw.empty() && lzw[0] == 8, "raw minimum code size");
  std::string payload;
  std::size_t at = 1;
  while (at < lzw.size() && lzw[at] != 0) {
    const std::size_t n = static_cast<std::uint8_t>(lzw[at]);
    Check(lzw.size() - at - 1 >= n, "raw sub-block");
    payload.append(lzw, at + 1, n);
    at += n + 1;
  }
  Check(at + 1 == lzw.size(), "raw terminator last");
  const TDecodedLZW raw = DecodeGIFLZW(8, payload);
  Check(raw.Ok, raw.Error.c_str());
  Check(std::equal(raw.Indices.begin(), raw.Indices.end(), rest.begin(), rest.end()),
        "raw round trip");
  Check(raw.ClearCodes == encoder.ClearCodes(), "clear codes counted");

  // The ditherer against the plain formulation.
  std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    kestrel::RowToRGB(image->View(), y, rgb.data() + std::size_t(y) * width * 3);
  }
  const std::vector<std::uint8_t> mono = kestrel::DitherToMonochrome(width, height, rgb);
  Check(mono == ReferenceStucki(width, height, rgb), "ditherer matches the reference");
  Check(mono == kestrel::DitherToMonochrome(image->View()), "ditherer from a view");
}

}  // namespace fuzzharness
