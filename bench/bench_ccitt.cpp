// Decodes 300-dpi A4 pages in each fax coding (made by libtiff) and prints the time one page
// takes: a typed letter, and the tests' page of fine textures (far more changes of colour).
// Usage: bench_ccitt [REPEATS]
#include <tiffio.h>

#include <ctime>
#include <utility>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/images/fax/ccitt_decoder.h"
#include "images/fax_test_encoder.h"

namespace {

// Lines of word-like ink inside margins.
oracle::TFaxBitmap Letter() {
  oracle::TFaxBitmap page{2480, 3508, {}};
  page.Bits.assign(page.Stride() * std::size_t(page.Height), 0);
  std::uint32_t seed = 11;
  auto next = [&](std::uint32_t n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
  static const std::uint8_t kInk[] = {0, 0x18, 0x3C, 0x66, 0x7E, 0xC3, 0xFF};
  std::uint8_t glyphs[40][8];
  for (auto& glyph : glyphs)
    for (auto& row : glyph) row = kInk[next(7)];
  for (int line = 0; 300 + line * 50 < page.Height - 300; ++line) {
    if (line % 17 == 16) continue;
    std::size_t x = 300 / 8;
    while (x < (page.Width - 300) / 8) {
      const std::size_t word = 2 + next(7);
      for (int dy = 0; dy < 30; ++dy)
        for (std::size_t i = 0; i < word && x + i < (page.Width - 300) / 8; ++i)
          page.Bits[std::size_t(300 + line * 50 + dy) * page.Stride() + x + i] =
              glyphs[(line * 7 + x + i) % 40][dy / 4];
      x += word + 1;
    }
  }
  return page;
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 50;
  struct TCoding {
    const char* Name;
    int Compression, T4Options;
    kestrel::TCCITTParams Params;
  };
  const TCoding codings[] = {
      {"T.6", COMPRESSION_CCITTFAX4, 0, {-1, false, false}},
      {"T.4 2-D", COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING, {4, false, true}},
      {"T.4 1-D", COMPRESSION_CCITTFAX3, 0, {0, false, true}},
  };
  int bad = 0;
  const std::pair<const char*, oracle::TFaxBitmap> pages[] = {
      {"letter", Letter()}, {"textures", oracle::MakeFaxBitmap(2480, 3508)}};
  for (const auto& [pageName, page] : pages) {
    std::vector<std::uint8_t> out(page.Bits.size());
    for (const TCoding& c : codings) {
      const std::string data = oracle::EncodeFax(page, c.Compression, c.T4Options, 0);
      auto decode = [&] {
        return kestrel::TKesCCITTDecoder(page.Width, page.Height, c.Params).Decode(data, out);
      };
      bad += decode().Rows != page.Height || out != page.Bits;
      // Processor time, which a busy machine disturbs less than wall time.
      const std::clock_t t0 = std::clock();
      for (int i = 0; i < repeats; ++i) decode();
      const std::clock_t t1 = std::clock();
      std::printf("%-9s %-8s %7zu bytes: %6.2f ms a page\n", pageName, c.Name, data.size(),
                  1000.0 * double(t1 - t0) / CLOCKS_PER_SEC / repeats);
    }
  }
  return bad;
}
