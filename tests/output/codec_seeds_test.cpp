// Replays the fuzzing seeds of the image codecs: each is a valid file of its kind and must
// decode, so a change that breaks a decoder on real files shows up without fuzzing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "engine/images/dct_decoder.h"
#include "engine/images/jpx_decoder.h"
#include "support/bmp_reader.h"
#include "support/png_decoder.h"
#include "support/png_reader.h"

namespace kestrel {
namespace {

int ForEachFile(const std::string& kind, const std::string& folder,
                const std::function<void(const TBytes&)>& check) {
  const std::filesystem::path dir =
      std::filesystem::path(PLOVER_SOURCE_DIR) / "fuzz" / kind / folder;
  int count = 0;
  if (!std::filesystem::is_directory(dir)) return 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const TBytes data(std::istreambuf_iterator<char>(in), {});
    SCOPED_TRACE(entry.path().filename().string());
    check(data);
    ++count;
  }
  return count;
}

void ForEachSeed(const std::string& folder, const std::function<void(const TBytes&)>& check) {
  EXPECT_GT(ForEachFile("seeds", folder, check), 0) << folder;
}

TEST(CodecSeeds, EverySeedDecodes) {
  ForEachSeed("dct", [](const TBytes& data) {
    const TDecodedImage image = DecodeDCT(data);
    EXPECT_FALSE(image.Empty()) << image.Error;
  });
  ForEachSeed("jpx", [](const TBytes& data) {
    const TDecodedImage image = DecodeJPX(data);
    EXPECT_FALSE(image.Empty()) << image.Error;
  });
  ForEachSeed("png_reader", [](const TBytes& data) {
    TPNGReader reader;
    reader.Scan(data);
    EXPECT_TRUE(reader.Usable());
    const TDecodedImage image = DecodePNG(data);
    EXPECT_FALSE(image.Empty()) << image.Error;
  });
  ForEachSeed("bmp_reader", [](const TBytes& data) {
    const TDecodedImage image = DecodeBMP(data);
    EXPECT_FALSE(image.Empty()) << image.Error;
  });
}

}  // namespace
}  // namespace kestrel
