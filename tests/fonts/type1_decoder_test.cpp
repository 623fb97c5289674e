#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "engine/fonts/type1/type1_decoder.h"
#include "support/recording_canvas.h"
#include "fonts/glyph_test_support.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using testing::kUrwDir;

// Glyphs with curves, flex, descenders and accents, from fonts of several designs.
struct TFontCase {
  const char* File;
  std::vector<const char*> Glyphs;
};
const std::vector<TFontCase> kFonts = {
    {"NimbusRoman-Regular", {"A", "g", "Q", "ampersand", "Aacute", "ccedilla", "fi", "zero"}},
    {"NimbusSans-Bold", {"B", "S", "a", "at", "Ntilde", "percent"}},
    {"C059-Italic", {"f", "k", "Scaron", "question"}},
    {"NimbusMonoPS-Regular", {"M", "braceleft", "asciitilde"}},
    {"StandardSymbolsPS", {"alpha", "summation", "integral"}},
    {"Z003-MediumItalic", {"A", "z"}},
};

// Every listed glyph's outline bounds match the font's AFM metrics to within rounding.
void ExpectGlyphsMatchAfm(TPDFType1Decoder& decoder, const TFontCase& font) {
  const auto afm = testing::ReadAfmBoxes(std::string(kUrwDir) + font.File + ".afm");
  for (const char* name : font.Glyphs) {
    SCOPED_TRACE(std::string(font.File) + " " + name);
    ASSERT_TRUE(afm.count(name));
    testing::TBoundsCanvas canvas;
    ASSERT_TRUE(decoder.DrawGlyph(canvas, TPDFMatrix{}, 0, 0, name));
    const testing::TBox& want = afm.at(name);
    const double s = decoder.GlyphScale();
    EXPECT_NEAR(canvas.Box.x0 / s, want.x0, 1.01);
    EXPECT_NEAR(canvas.Box.y0 / s, want.y0, 1.01);
    EXPECT_NEAR(canvas.Box.x1 / s, want.x1, 1.01);
    EXPECT_NEAR(canvas.Box.y1 / s, want.y1, 1.01);
  }
}

class Type1DecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kUrwDir)) GTEST_SKIP() << "fonts-urw-base35 is not installed";
  }
};

TEST_F(Type1DecoderTest, BinaryType1GlyphsMatchTheirMetrics) {
  for (const TFontCase& font : kFonts) {
    const std::string data = testing::ReadFileBytes(std::string(kUrwDir) + font.File + ".t1");
    TPDFType1Decoder decoder;
    ASSERT_TRUE(decoder.LoadType1Program(data, 0)) << font.File;
    EXPECT_EQ(decoder.GlyphScale(), 1.0);
    ExpectGlyphsMatchAfm(decoder, font);
  }
}

// The same font with its private part in hexadecimal and a Length1 that stops before the
// line end, and as a PFB file with segment headers.
TEST_F(Type1DecoderTest, HexAndPfbFormsDrawTheSameGlyphs) {
  const std::string data = testing::ReadFileBytes(std::string(kUrwDir) + "NimbusRoman-Regular.t1");
  const std::size_t eexec = data.find("eexec") + 5;
  std::string hex = data.substr(0, eexec) + "\n";
  const std::size_t binaryStart = eexec + 1;  // "eexec\r"
  static const char* digits = "0123456789abcdef";
  for (std::size_t i = binaryStart; i < data.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    hex += digits[c >> 4];
    hex += digits[c & 15];
    if ((i - binaryStart) % 32 == 31) hex += '\n';
  }
  TPDFType1Decoder fromHex;
  ASSERT_TRUE(fromHex.LoadType1Program(hex, eexec));
  ExpectGlyphsMatchAfm(fromHex, kFonts[0]);

  auto segment = [](int type, const std::string& body) {
    std::string s = {'\x80', static_cast<char>(type)};
    for (int k = 0; k < 4; ++k) s += static_cast<char>((body.size() >> (8 * k)) & 0xFF);
    return s + body;
  };
  const std::string pfb = segment(1, data.substr(0, binaryStart)) + segment(2, data.substr(binaryStart)) +
                          std::string("\x80\x03", 2);
  TPDFType1Decoder fromPfb;
  ASSERT_TRUE(fromPfb.LoadType1Program(pfb, 0));
  ExpectGlyphsMatchAfm(fromPfb, kFonts[0]);
}

TEST_F(Type1DecoderTest, BuiltInEncodingAndPlacement) {
  TPDFType1Decoder symbol;
  ASSERT_TRUE(symbol.LoadType1Program(testing::ReadFileBytes(std::string(kUrwDir) + "StandardSymbolsPS.t1"), 0));
  EXPECT_EQ(symbol.BuiltInEncoding()[97], "alpha");
  EXPECT_EQ(symbol.BuiltInEncoding()[1], ".notdef");
  TPDFType1Decoder roman;
  ASSERT_TRUE(roman.LoadType1Program(testing::ReadFileBytes(std::string(kUrwDir) + "NimbusRoman-Regular.t1"), 0));
  EXPECT_EQ(roman.BuiltInEncoding()[65], "A");
  EXPECT_EQ(roman.BuiltInEncoding()[0xE1], "AE");  // StandardEncoding
  // x and y are added before the matrix: "A" at advance 500, rise 100, doubled.
  testing::TBoundsCanvas canvas;
  ASSERT_TRUE(roman.DrawGlyph(canvas, TPDFMatrix{2, 0, 0, 2, 10, 20}, 500, 100, "A"));
  EXPECT_NEAR(canvas.Box.x0, (500 + 15) * 2 + 10, 2.1);
  EXPECT_NEAR(canvas.Box.y1, (100 + 674) * 2 + 20, 2.1);
  testing::TBoundsCanvas none;
  EXPECT_FALSE(roman.DrawGlyph(none, TPDFMatrix{}, 0, 0, "nosuchglyph"));
  EXPECT_FALSE(roman.DrawGlyph(none, TPDFMatrix{}, 0, 0, "nosuchglyph"));  // cached miss
  EXPECT_TRUE(none.Box.Empty());
}

// CFF fonts made from the Type 1 fonts: as an OpenType file and as a bare CFF table.
TEST_F(Type1DecoderTest, CffMadeFromType1MatchesTheMetrics) {
  if (std::system("/usr/bin/python3 -c 'import fontTools' 2>/dev/null") != 0)
    GTEST_SKIP() << "python3-fonttools is not installed";
  testsupport::TempDir dir;
  for (const TFontCase& font : {kFonts[0], kFonts[1]}) {
    const std::string otf = dir.Path() + "/f.otf", cff = dir.Path() + "/f.cff";
    const std::string cmd = std::string("/usr/bin/python3 ") + PLOVER_SOURCE_DIR +
                            "/tests/fonts/make_cff_font.py " + kUrwDir + font.File + ".t1 " + otf +
                            " " + cff;
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    for (const std::string& path : {otf, cff}) {
      TPDFType1Decoder decoder;
      ASSERT_TRUE(decoder.LoadCFFProgram(testing::ReadFileBytes(path))) << path;
      EXPECT_FALSE(decoder.CIDKeyed());
      EXPECT_EQ(decoder.BuiltInEncoding()[65], "A");
      ExpectGlyphsMatchAfm(decoder, font);
    }
  }
}

TEST(Type1DecoderBadInput, DrawsNothingAndReportsFailure) {
  TPDFType1Decoder decoder;
  EXPECT_FALSE(decoder.LoadType1Program("%!PS-AdobeFont-1.0\n/FontName /X def currentfile eexec\n", 0));
  EXPECT_FALSE(decoder.LoadCFFProgram(std::string("OTTO\0\0\0\0\0\0\0\0", 12)));
  EXPECT_FALSE(decoder.LoadCFFProgram("garbage"));
  TRecordingCanvas canvas;
  EXPECT_FALSE(decoder.DrawGlyph(canvas, TPDFMatrix{}, 0, 0, "A"));
  EXPECT_TRUE(canvas.Lines().empty());
}

}  // namespace
}  // namespace kestrel
