// Replays the font fuzz seeds and every input that once crashed a font fuzz target.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/harness/fonts.h"
#include "fuzz/harness/truetype.h"

namespace {

int Replay(const std::string& name, void (*harness)(const uint8_t*, size_t)) {
  int n = 0;
  for (const char* kind : {"seeds", "regressions"}) {
    const std::filesystem::path dir = std::filesystem::path(PLOVER_SOURCE_DIR) / "fuzz" / kind / name;
    if (!std::filesystem::exists(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      SCOPED_TRACE(entry.path().string());
      harness(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++n;
    }
  }
  return n;
}

}  // namespace

TEST(FuzzReplay, FontTargets) {
  EXPECT_GT(Replay("type1_font", fuzzharness::Type1Font), 0);
  EXPECT_GT(Replay("cff_font", fuzzharness::CFFFont), 0);
  EXPECT_GT(Replay("cmap", fuzzharness::CMapText), 0);
}

TEST(FuzzReplay, TrueTypeAndFontLoadTargets) {
  EXPECT_GT(Replay("truetype_font", fuzzharness::TrueTypeFont), 0);
  EXPECT_GT(Replay("font_load", fuzzharness::FontLoad), 0);
}
