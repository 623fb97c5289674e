// Replays the font-name fuzz seeds and every input that once crashed the font-name target.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fuzz/harness/font_names.h"

TEST(FontNamesFuzzReplay, SeedsAndRegressions) {
  int n = 0;
  for (const char* kind : {"seeds", "regressions"}) {
    const std::filesystem::path dir = std::filesystem::path(PLOVER_SOURCE_DIR) / "fuzz" / kind / "font_names";
    if (!std::filesystem::exists(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      SCOPED_TRACE(entry.path().string());
      fuzzharness::FontNames(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++n;
    }
  }
  EXPECT_GE(n, 3);
}
