// Every format of the list, converted by plover-cli, gives one file per page that starts the
// way its format says.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/pdf_builder.h"
#include "support/temp_dir.h"

namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(CliFormats, EveryFormatWritesItsOwnKindOfFile) {
  using namespace std::string_literals;
  struct TFormat {
    const char* name;
    const char* extension;
    std::string magic;
    std::size_t offset;
  };
  const TFormat formats[] = {
      {"bmp", "BMP", "BM", 0},
      {"jpeg", "JPEG", "\xFF\xD8\xFF", 0},
      {"wmf", "WMF", "\xD7\xCD\xC6\x9A", 0},  // placeable key 0x9AC6CDD7
      {"emf", "EMF", " EMF", 40},              // the header's signature
      {"eps", "EPS", "%!PS-Adobe-3.0 EPSF-3.0\r\n", 0},
      {"png", "PNG", "\x89PNG\r\n\x1A\n", 0},
      {"gif", "GIF", "GIF87a", 0},
      {"tiff", "TIFF", "II*\0"s, 0},
      {"svg", "SVG", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", 0},
      {"webp", "WEBP", "WEBPVP8L", 8},  // lossless
      {"ppm", "PPM", "P6\n", 0},
      {"pgm", "PGM", "P5\n", 0},
      {"pbm", "PBM", "P4\n", 0},
      {"pam", "PAM", "P7\nWIDTH ", 0},
  };
  testsupport::TempDir dir;
  const std::string pdf = dir.Write("doc.pdf", testpdf::SimpleDocument(2));
  for (const TFormat& f : formats) {
    const std::string out = dir.Path() + "/" + f.name;
    const std::string command = std::string(PLOVER_CLI_PATH) + " --quiet --format " + f.name +
                                " --dpi 48 --output " + out + " " + pdf + " > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << f.name;
    for (int page = 1; page <= 2; ++page) {
      const auto path = std::filesystem::path(out) / "doc" / (std::to_string(page) + "." + f.extension);
      ASSERT_TRUE(std::filesystem::exists(path)) << path;
      const std::string bytes = ReadFile(path);
      ASSERT_GT(bytes.size(), f.offset + f.magic.size()) << path;
      EXPECT_EQ(bytes.substr(f.offset, f.magic.size()), f.magic) << path;
      if (std::string_view(f.name) == "eps") EXPECT_TRUE(bytes.ends_with("%%EOF\r\n")) << path;
      if (std::string_view(f.name) == "gif") EXPECT_EQ(bytes.back(), ';') << path;
      if (std::string_view(f.name) == "svg") EXPECT_TRUE(bytes.ends_with("</svg>\n")) << path;
    }
  }
}

}  // namespace
