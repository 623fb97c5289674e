// Replays the fuzz seeds and every input that once crashed a fuzz target.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "fuzz/harness/syntax.h"

namespace {

int Replay(const std::string& name, const std::function<void(const uint8_t*, size_t)>& harness) {
  int n = 0;
  for (const char* kind : {"seeds", "regressions"}) {
    std::filesystem::path dir = std::filesystem::path(PLOVER_SOURCE_DIR) / "fuzz" / kind / name;
    if (!std::filesystem::exists(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      SCOPED_TRACE(entry.path().string());
      harness(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++n;
    }
  }
  return n;
}

}  // namespace

TEST(FuzzReplay, SyntaxTargets) {
  EXPECT_GT(Replay("parse_object", fuzzharness::ParseObject), 0);
  EXPECT_GT(Replay("filter_chain", fuzzharness::FilterChain), 0);
  EXPECT_GT(Replay("open", fuzzharness::OpenAndWalk), 0);
}

#include "fuzz/harness/images.h"

TEST(FuzzReplay, ImageTargets) {
  EXPECT_GT(Replay("image_decoder", fuzzharness::ImageDecoder), 0);
  EXPECT_GT(Replay("inline_image", fuzzharness::InlineImage), 0);
  EXPECT_GT(Replay("jbig2", fuzzharness::JBIG2), 0);
}

#include "fuzz/harness/fax.h"

TEST(FuzzReplay, FaxTargets) { EXPECT_GT(Replay("ccitt", fuzzharness::CCITT), 0); }

#include "fuzz/harness/cli.h"

TEST(FuzzReplay, CommandLine) { EXPECT_GT(Replay("cli_options", fuzzharness::CliArguments), 0); }

#include "fuzz/harness/svg.h"

TEST(FuzzReplay, SVGCanvas) { EXPECT_GT(Replay("svg_canvas", fuzzharness::RunSVGProgram), 0); }
