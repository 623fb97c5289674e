// Replays the security handler's fuzz seeds and every input that once failed the target.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fuzz/harness/crypt.h"

TEST(CryptFuzzReplay, SeedsAndRegressions) {
  int seeds = 0;
  int regressions = 0;
  for (const char* kind : {"seeds", "regressions"}) {
    const std::filesystem::path dir =
        std::filesystem::path(PLOVER_SOURCE_DIR) / "fuzz" / kind / "crypt";
    if (!std::filesystem::exists(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
      SCOPED_TRACE(entry.path().string());
      fuzzharness::CryptRecordAndData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++(kind[0] == 's' ? seeds : regressions);
    }
  }
  EXPECT_GE(seeds, 4);
  EXPECT_GE(regressions, 1);
}
