// Replays the INI fuzz seeds and every input that once crashed the INI target.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fuzz/harness/ini.h"

TEST(IniFuzzReplay, SeedsAndRegressions) {
  int n = 0;
  for (const char* kind : {"seeds", "regressions"}) {
    const std::filesystem::path dir = std::filesystem::path(PLOVER_SOURCE_DIR) / "fuzz" / kind / "ini";
    if (!std::filesystem::exists(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      SCOPED_TRACE(entry.path().string());
      fuzzharness::IniRoundTrip(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++n;
    }
  }
  EXPECT_GE(n, 4);
}
