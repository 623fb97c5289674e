// Replays the content fuzzer's seeds and every input that once failed it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/harness/content.h"

namespace {

TEST(RendererFuzzReplay, ContentSeedsAndRegressions) {
  int replayed = 0;
  for (const char* kind : {"seeds", "regressions"}) {
    const std::filesystem::path dir =
        std::filesystem::path(PLOVER_SOURCE_DIR) / "fuzz" / kind / "content";
    if (!std::filesystem::exists(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      SCOPED_TRACE(entry.path().string());
      fuzzharness::Content(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  EXPECT_GE(replayed, 3);
}

}  // namespace
