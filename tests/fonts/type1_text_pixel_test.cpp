// Type 1, CFF and CID-keyed text against pdftoppm: one page of fonts made at test time from
// the URW base 35 Type 1 fonts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "engine/fonts/type1/cff_program.h"
#include "engine/fonts/type1/cff_standard_data.h"
#include "fonts/font_program_builder.h"
#include "fonts/glyph_test_support.h"
#include "render/pixel_compare.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using testing::kUrwDir;
using testing::ReadFileBytes;

// Codes 128-130 name glyphs beyond ASCII through Differences.
const std::string kExtra = "128 /Aacute /ccedilla /fi";
const std::string kLatinText = "(Hamburgefonstiv 0123 \\200\\201\\202 [x]) Tj";

std::string Widths(const std::string& font, int first, int last, bool extra) {
  const auto afm = testing::ReadAfmWidths(std::string(kUrwDir) + font + ".afm");
  std::string w = "/FirstChar " + std::to_string(first) + " /LastChar " + std::to_string(last) + " /Widths [";
  const char* extras[] = {"Aacute", "ccedilla", "fi"};
  for (int c = first; c <= last; ++c) {
    const std::string name = c >= 128 && extra ? extras[c - 128] : std::string(StandardEncodingName(c));
    w += " " + std::to_string(afm.count(name) ? afm.at(name) : 0);
  }
  return w + " ]";
}

// The .t1 file cut into the three parts FontFile wants, with their lengths.
std::string Type1FontFile(const std::string& font, std::string& dictEntries) {
  const std::string data = ReadFileBytes(std::string(kUrwDir) + font + ".t1");
  std::size_t l1 = data.find("eexec") + 5;
  while (data[l1] == '\r' || data[l1] == '\n') ++l1;
  const std::size_t trailer = data.find("0000000000", l1);
  dictEntries = "/Length1 " + std::to_string(l1) + " /Length2 " + std::to_string(trailer - l1) +
                " /Length3 " + std::to_string(data.size() - trailer);
  return data;
}

class Type1TextPixels : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::PdftoppmAvailable()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    if (!std::filesystem::exists(kUrwDir)) GTEST_SKIP() << "fonts-urw-base35 is not installed";
    if (std::system("/usr/bin/python3 -c 'import fontTools' 2>/dev/null") != 0)
      GTEST_SKIP() << "python3-fonttools is not installed";
  }
  std::string MakeCFF(const std::string& font, const std::string& ext) {
    const std::string otf = dir.Path() + "/" + font + ".otf", cff = dir.Path() + "/" + font + ".cff";
    const std::string cmd = std::string("/usr/bin/python3 ") + PLOVER_SOURCE_DIR +
                            "/tests/fonts/make_cff_font.py " + kUrwDir + font + ".t1 " + otf + " " + cff;
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return ReadFileBytes(ext == "otf" ? otf : cff);
  }
  testsupport::TempDir dir;
};

TEST_F(Type1TextPixels, Type1CffAndCidKeyedText) {
  testpdf::PdfBuilder pdf;
  std::string content;
  // Simple fonts: Type 1 (FontFile), a symbolic Type 1 on its built-in encoding, bare CFF
  // (Type1C) with Differences on its built-in encoding, OpenType CFF.
  std::string t1Entries;
  const std::string roman = Type1FontFile("NimbusRoman-Regular", t1Entries);
  pdf.Stream(10, t1Entries, roman);
  pdf.Object(11, "<< /Type /FontDescriptor /FontName /NimbusRoman-Regular /Flags 34 /FontFile 10 0 R >>");
  pdf.Object(12, "<< /Type /Font /Subtype /Type1 /BaseFont /NimbusRoman-Regular " +
                     Widths("NimbusRoman-Regular", 32, 130, true) + " /FontDescriptor 11 0 R "
                     "/Encoding << /BaseEncoding /StandardEncoding /Differences [" + kExtra + "] >> >>");
  std::string symEntries;
  pdf.Stream(13, "", Type1FontFile("StandardSymbolsPS", symEntries));
  pdf.Object(14, "<< /Type /FontDescriptor /FontName /StandardSymbolsPS /Flags 4 /FontFile 13 0 R >>");
  pdf.Object(15, "<< /Type /Font /Subtype /Type1 /BaseFont /StandardSymbolsPS /FontDescriptor 14 0 R "
                 "/FirstChar 97 /LastChar 112 /Widths [631 549 549 494 439 521 411 603 329 603 549 549 576 521 549 549] >>");
  pdf.Stream(16, "/Subtype /Type1C", MakeCFF("NimbusSans-Bold", "cff"));
  pdf.Object(17, "<< /Type /FontDescriptor /FontName /NimbusSans-Bold /Flags 32 /FontFile3 16 0 R >>");
  pdf.Object(18, "<< /Type /Font /Subtype /Type1 /BaseFont /NimbusSans-Bold " +
                     Widths("NimbusSans-Bold", 32, 130, true) +
                     " /FontDescriptor 17 0 R /Encoding << /Differences [" + kExtra + "] >> >>");
  pdf.Stream(19, "/Subtype /OpenType", MakeCFF("C059-Italic", "otf"));
  pdf.Object(20, "<< /Type /FontDescriptor /FontName /C059-Italic /Flags 96 /FontFile3 19 0 R >>");
  pdf.Object(21, "<< /Type /Font /Subtype /Type1 /BaseFont /C059-Italic " + Widths("C059-Italic", 32, 130, true) +
                     " /FontDescriptor 20 0 R /Encoding << /BaseEncoding /StandardEncoding /Differences [" +
                     kExtra + "] >> >>");

  // One CID-keyed CFF: capitals at CIDs 264-289 (where 90ms-RKSJ-H puts ASCII A-Z), "e" and
  // "g" at 842 and 843 (two Shift-JIS hiragana).
  TCFFProgram source;
  ASSERT_TRUE(source.Load(MakeCFF("NimbusRoman-Regular", "cff")));
  const auto afm = testing::ReadAfmWidths(std::string(kUrwDir) + "NimbusRoman-Regular.afm");
  testing::TTestCFF cid;
  cid.CharStrings = {std::string(source.CharString(0))};
  cid.FDSubrs = {{}};
  std::string w = "264 [";
  for (char c = 'A'; c <= 'Z'; ++c) {
    cid.CharStrings.emplace_back(source.CharString(source.GlyphOfName(std::string(1, c))));
    cid.Charset.push_back(264 + (c - 'A'));
    w += " " + std::to_string(afm.at(std::string(1, c)));
  }
  for (const char* name : {"e", "g"}) {
    cid.CharStrings.emplace_back(source.CharString(source.GlyphOfName(name)));
    cid.Charset.push_back(name[0] == 'e' ? 842 : 843);
  }
  w += "] 842 [" + std::to_string(afm.at("e")) + " " + std::to_string(afm.at("g")) + "]";
  cid.FDSelect.assign(cid.CharStrings.size(), 0);
  pdf.Stream(30, "/Subtype /CIDFontType0C", cid.Build());
  pdf.Object(31, "<< /Type /FontDescriptor /FontName /CIDTest /Flags 32 /FontFile3 30 0 R >>");
  pdf.Object(32, "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /CIDTest /CIDSystemInfo << /Registry "
                 "(Adobe) /Ordering (Japan1) /Supplement 2 >> /FontDescriptor 31 0 R /W [" + w + "] >>");
  pdf.Object(33, "<< /Type /Font /Subtype /Type0 /BaseFont /CIDTest /Encoding /Identity-H /DescendantFonts [32 0 R] >>");
  pdf.Stream(34, "/Type /CMap /CMapName /Test-H /CIDSystemInfo << /Registry (Adobe) /Ordering (Japan1) /Supplement 2 >>",
             "/CIDInit /ProcSet findresource begin 12 dict begin begincmap /CMapName /Test-H def\n"
             "1 begincodespacerange <00> <FF> endcodespacerange\n"
             "1 begincidrange <41> <5A> 264 endcidrange\n2 begincidchar <61> 842 <62> 843 endcidchar\n"
             "endcmap CMapName currentdict /CMap defineresource pop end end\n");
  pdf.Object(35, "<< /Type /Font /Subtype /Type0 /BaseFont /CIDTest /Encoding 34 0 R /DescendantFonts [32 0 R] >>");
  pdf.Object(36, "<< /Type /Font /Subtype /Type0 /BaseFont /CIDTest /Encoding /90ms-RKSJ-H /DescendantFonts [32 0 R] >>");

  content = "BT 20 370 Td /F1 24 Tf " + kLatinText + " 0 -36 Td /F2 24 Tf (abgdp) Tj" +
            " 0 -36 Td /F3 24 Tf " + kLatinText + " 0 -36 Td /F4 24 Tf " + kLatinText +
            " 0 -40 Td /F5 28 Tf <01080109011802A0034A034B> Tj" +
            " 0 -40 Td /F6 28 Tf (PLOVERab) Tj [(AB) 500 (ba)] TJ" +
            " 0 -40 Td /F7 28 Tf <82A0414282A0829F5A> Tj 2 Tr 0.5 w 1 0 0 RG ( KESTREL) Tj ET";
  pdf.Stream(5, "", content);
  pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  pdf.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  pdf.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 600 400] /Contents 5 0 R /Resources << "
                "/Font << /F1 12 0 R /F2 15 0 R /F3 18 0 R /F4 21 0 R /F5 33 0 R /F6 35 0 R /F7 36 0 R >> >> >>");
  pdf.TrailerEntries("/Root 1 0 R");
  const std::string file = pdf.Build();
  for (double dpi : {72.0, 150.0}) EXPECT_TRUE(testing::MatchesPdftoppm(file, dpi, "type1-text"));
}

}  // namespace
}  // namespace kestrel
