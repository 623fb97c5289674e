// Replays the GIF writer's fuzz seeds and every input that once failed the target.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fuzz/harness/gif.h"

TEST(GIFWriterFuzzReplay, SeedsAndRegressions) {
  int seeds = 0;
  for (const char* kind : {"seeds", "regressions"}) {
    const std::filesystem::path dir =
        std::filesystem::path(PLOVER_SOURCE_DIR) / "fuzz" / kind / "gif_writer";
    if (!std::filesystem::exists(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
      SCOPED_TRACE(entry.path().string());
      fuzzharness::GIFWriterRoundTrip(reinterpret_cast<const uint8_t*>(bytes.data()),
                                      bytes.size());
      if (kind[0] == 's') ++seeds;
    }
  }
  EXPECT_GE(seeds, 4);
}
