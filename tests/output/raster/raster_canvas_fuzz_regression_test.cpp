// Inputs found by fuzz_canvas, replayed through the same harness. Each must run to its end
// without Cairo reporting an error (the harness traps otherwise).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/harness/canvas.h"

namespace kestrel {
namespace {

void Replay(const std::vector<std::uint8_t>& input) {
  fuzzharness::RunCanvasProgram(input.data(), input.size());
}

TEST(CanvasFuzzRegressionTest, HeavyDashesOnSingleRowTiles) {
  // Tiles of one pixel and a stroke with tens of thousands of dashes: the harness now keeps
  // tiles at 16 pixels or more, and dash work is bounded per stroke.
  Replay({0x09, 0x00, 0x01, 0x03, 0x04, 0x2b, 0x05, 0x2e, 0x00, 0x00, 0x00, 0x00, 0x62, 0x37,
          0x32, 0xb1, 0x3c, 0x36, 0x38, 0x9d, 0x04, 0x18, 0x04, 0x04, 0x55, 0x55, 0x55, 0x55,
          0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x4e, 0x31,
          0x30, 0x5f, 0x5f, 0x63, 0x78, 0x78, 0x61, 0x62, 0x69, 0x76, 0x55, 0x01, 0x00, 0x00,
          0x28, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04,
          0x04, 0x04, 0x04, 0x04, 0x04, 0x03, 0x3c, 0x47, 0x62, 0x09, 0x25});
}

TEST(CanvasFuzzRegressionTest, SeedsReplay) {
  const std::filesystem::path dir =
      std::filesystem::path(PLOVER_SOURCE_DIR) / "fuzz" / "seeds" / "canvas";
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().string());
    Replay(bytes);
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

TEST(CanvasFuzzRegressionTest, EmptyAndOneByteProgramsRun) {
  Replay({});
  for (int flags = 0; flags < 256; flags += 17) Replay({static_cast<std::uint8_t>(flags)});
}

}  // namespace
}  // namespace kestrel
