// `plover-cli --format gif` writes one readable GIF per page at the chosen resolution.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/harness/gif.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

namespace {

TEST(GIFCli, EveryPageBecomesAGIF) {
  testsupport::TempDir dir;
  const std::string pdf = dir.Write("doc.pdf", testpdf::SimpleDocument(2));
  const std::string command = std::string(PLOVER_CLI_PATH) +
                              " --quiet --format gif --dpi 48 --output " + dir.Path() +
                              "/out " + pdf + " > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const char* name : {"1.GIF", "2.GIF"}) {
    const std::filesystem::path path = std::filesystem::path(dir.Path()) / "out" / "doc" / name;
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)),
                            std::istreambuf_iterator<char>());
    const fuzzharness::TParsedGIF gif = fuzzharness::ParseGIF(bytes);
    ASSERT_TRUE(gif.Ok) << name << ": " << gif.Error;
    // 200 × 100 points at 48 dpi.
    EXPECT_NEAR(gif.Width, 133, 1);
    EXPECT_NEAR(gif.Height, 67, 1);
    EXPECT_EQ(gif.Decoded.Indices.size(), std::size_t(gif.Width) * gif.Height);
  }
}

}  // namespace
