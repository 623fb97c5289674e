// JBIG2 images written by the test's own encoder: decoded pixels compared with poppler's
// (pdfimages) bit for bit, and drawn pages with pdftoppm's.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "engine/images/jbig2/jbig2_decoder.h"
#include "images/fax_test_encoder.h"
#include "images/jbig2_test_encoder.h"
#include "render/pixel_compare.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

namespace kestrel::testing {
namespace {

using namespace kestrel::oracle;

constexpr int kW = 64, kH = 40;

std::string GenericPage(const TGenericCoding& coding) {
  const std::string flags(1, char(coding.Template << 1 | (coding.Tpgdon ? 8 : 0)));
  std::string at;
  const int n = coding.Template == 0 ? 8 : 2;
  for (int i = 0; i < n; ++i) {
    const std::vector<int> usual = coding.Template == 0 ? std::vector<int>{3, -1, -3, -1, 2, -2, -2, -2}
                                   : coding.Template == 1 ? std::vector<int>{3, -1, 0, 0}
                                                          : std::vector<int>{2, -1, 0, 0};
    at += char(coding.At.empty() ? usual[std::size_t(i)] : coding.At[std::size_t(i)]);
  }
  return Segment(0, 48, 1, PageInformation(kW, kH)) +
         Segment(1, 38, 1,
                 RegionInfo(kW, kH, 0, 0) + flags + at + EncodeGeneric(TestPicture(kW, kH), coding));
}

// The picture as MMR (T.6) data from libtiff's encoder.
std::string MmrPage() {
  const TBilevel p = TestPicture(kW, kH);
  ::oracle::TFaxBitmap bits{kW, kH, {}};
  bits.Bits.assign(bits.Stride() * kH, 0);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      if (p.At(x, y)) bits.Bits[std::size_t(y) * bits.Stride() + std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
  return Segment(0, 48, 1, PageInformation(kW, kH)) +
         Segment(1, 38, 1, RegionInfo(kW, kH, 0, 0) + char(1) +
                               ::oracle::EncodeFax(bits, COMPRESSION_CCITTFAX4, 0, 0));
}

// A page of unknown height in stripes of 32 rows: a region of unknown length and height ended
// by its row count, then one below the first stripe.
std::string StripedPage() {
  const TBilevel top = TestPicture(kW, 20);
  const std::string first = RegionInfo(kW, 0xFFFFFFFF, 0, 0) + char(8) +
                            std::string("\x03\xff\xfd\xff\x02\xfe\xfe\xfe", 8) +
                            EncodeGeneric(top, {0, true, {}}) + Be32(20);
  TBilevel bottom = TestPicture(kW, 20);
  for (auto& p : bottom.Pixels) p ^= 1;
  const std::string second = RegionInfo(kW, 20, 0, 20) + char(2) + std::string("\x03\xff", 2) +
                             EncodeGeneric(bottom, {1, false, {}});
  return Segment(0, 48, 1, PageInformation(kW, 0xFFFFFFFF, 0, 0x8000 | 32)) +
         Segment(1, 38, 1, first, {}, -1) + Segment(2, 50, 1, Be32(19)) +
         Segment(3, 38, 1, second) + Segment(4, 50, 1, Be32(39)) + Segment(5, 49, 1, "");
}

// Symbol k of the dictionary, 6 rows high.
int SymbolPixel(int k, int x, int y) { return x == 0 || y == 5 || (x + y + k) % 3 == 0; }

// Globals: a Huffman-coded dictionary of three symbols (4, 5 and 7 wide) in a stored
// collective bitmap, with standard tables.
std::string HuffmanDictionary() {
  TBitWriter bits;
  bits.Put("1110").Put(2, 3);                  // height class 6 (B.4)
  bits.Put("1110").Put(1, 3).Put("10").Put("110");  // widths 4, 5, 7 (B.2)
  bits.Put("111111");                          // end of the height class
  bits.Put("0").Put(0, 4);                     // stored collective bitmap (B.1)
  bits.Align();
  for (int y = 0; y < 6; ++y) {
    std::uint32_t row = 0;
    int x0 = 0;
    for (int k = 0; k < 3; ++k) {
      const int w = k == 0 ? 4 : k == 1 ? 5 : 7;
      for (int x = 0; x < w; ++x) row = row << 1 | std::uint32_t(SymbolPixel(k, x, y));
      x0 += w;
    }
    bits.Put(row, 16);
  }
  bits.Put("0").Put(0, 4).Put("0").Put(3, 4);  // export runs 0 and 3 (B.1)
  return Segment(1, 0, 0, std::string("\x00\x01", 2) + Be32(3) + Be32(3) + bits.Bytes());
}

// A table for values -8..23 (0 + five bits), out-of-band 10 and the two 32-bit ranges.
std::string CustomTable(std::uint32_t number) {
  return Segment(number, 53, 1, std::string("\x23", 1) + Be32(std::uint32_t(-8)) + Be32(24) +
                                    std::string("\x6f\xc0", 2));
}

// Six symbol instances in three strips, coded with the custom tables.
std::string HuffmanTextPage() {
  TBitWriter bits;
  for (int i = 0; i < 35; ++i) bits.Put(i == 2 ? 1 : 0, 4);  // run code 2 is "0"
  bits.Put("000").Align();                                  // three 2-bit symbol codes
  auto v = [&](int value) { bits.Put("0").Put(std::uint32_t(value + 8), 5); };
  v(0);                                                     // first strip T
  v(2), v(1), bits.Put("00"), v(2), bits.Put("01"), v(0), bits.Put("10"), bits.Put("10");
  v(10), v(3), bits.Put("10"), v(-1), bits.Put("00"), bits.Put("10");
  v(9), v(-4), bits.Put("01"), bits.Put("10");
  const std::string text = RegionInfo(40, 30, 4, 3) + std::string("\x00\x11\x00\x3f", 4) +
                           Be32(6) + bits.Bytes();
  return Segment(0, 48, 1, PageInformation(48, 40)) + CustomTable(2) + CustomTable(3) +
         CustomTable(4) + Segment(5, 6, 1, text, {1, 2, 3, 4});
}

struct TCase {
  const char* Name;
  std::function<std::string()> Data;
  bool Globals = false;
  int Width = kW, Height = kH;
  // The pixels when poppler cannot be asked: it leaves pages of unknown height blank
  // (ghostscript and mupdf show both stripes).
  std::function<TBilevel()> Expected = nullptr;
};

// The striped page's pictures: the first stripe's, then the second's inverted.
TBilevel StripedPicture() {
  TBilevel top = TestPicture(kW, 20), page{kW, 40, top.Pixels};
  for (std::uint8_t p : top.Pixels) page.Pixels.push_back(std::uint8_t(p ^ 1));
  return page;
}

std::string Packed(const TBilevel& p) {
  std::string out;
  for (int y = 0; y < p.Height; ++y) {
    TBitWriter row;
    for (int x = 0; x < p.Width; ++x) row.Put(std::uint32_t(p.At(x, y)), 1);
    out += row.Bytes();
  }
  return out;
}

std::string Pdf(const TCase& c, const std::string& dict, int scale) {
  testpdf::PdfBuilder b;
  const std::string w = std::to_string(c.Width), h = std::to_string(c.Height);
  const std::string pw = std::to_string(c.Width * scale), ph = std::to_string(c.Height * scale);
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + pw + " " + ph +
                  "] /Resources << /XObject << /Im 5 0 R >> >> /Contents 4 0 R >>");
  b.Stream(4, "", "0.8 0.1 0.1 rg q " + pw + " 0 0 " + ph + " 0 0 cm /Im Do Q");
  b.Stream(5, "/Type /XObject /Subtype /Image /Width " + w + " /Height " + h + " " + dict +
                  " /Filter /JBIG2Decode" +
                  (c.Globals ? " /DecodeParms << /JBIG2Globals 6 0 R >>" : ""),
           c.Data());
  if (c.Globals) b.Stream(6, "", HuffmanDictionary());
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

// The image's pixels as poppler's pdfimages decodes them: a PBM file, rows of whole bytes,
// 1 = black, as our page bitmap.
std::optional<std::string> PopplerBits(const std::string& pdf) {
  testsupport::TempDir dir;
  const std::string in = dir.Write("in.pdf", pdf);
  if (std::system(("pdfimages '" + in + "' '" + dir.Path() + "/im' 2>/dev/null").c_str()) != 0)
    return std::nullopt;
  std::ifstream pbm(dir.Path() + "/im-000.pbm", std::ios::binary);
  std::string magic;
  int w = 0, h = 0;
  pbm >> magic >> w >> h;
  pbm.get();
  if (magic != "P4") return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(pbm), {});
}

const TCase kCases[] = {
    {"template0", [] { return GenericPage({0, false, {}}); }},
    {"template0-moved-at", [] { return GenericPage({0, true, {-1, -2, 2, -1, -4, -1, 1, -2}}); }},
    {"template1-tpgdon", [] { return GenericPage({1, true, {}}); }},
    {"template2-tpgdon", [] { return GenericPage({2, true, {-3, -1}}); }},
    {"template3-tpgdon", [] { return GenericPage({3, true, {}}); }},
    {"generic-mmr", MmrPage},
    {"striped-unknown-height", StripedPage, false, kW, kH, StripedPicture},
    {"huffman-text-custom-tables", HuffmanTextPage, true, 48, 40},
};

TEST(JBIG2Images, DecodeLikePoppler) {
  if (std::system("pdfimages -v >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "pdfimages (poppler-utils) is not installed";
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    const std::string pdf = Pdf(c, "/ColorSpace /DeviceGray /BitsPerComponent 1", 1);
    const auto expected = c.Expected ? Packed(c.Expected()) : PopplerBits(pdf);
    ASSERT_TRUE(expected);
    TKesJBIG2Decoder ours;
    ASSERT_TRUE(ours.DecodePage(c.Data(), c.Globals ? HuffmanDictionary() : ""));
    ASSERT_EQ(ours.Width(), c.Width);
    ASSERT_EQ(ours.Height(), c.Height);
    const std::size_t stride = std::size_t(ours.Page().Stride());
    ASSERT_EQ(expected->size(), stride * std::size_t(c.Height));
    for (int y = 0; y < c.Height; ++y)
      EXPECT_EQ(expected->compare(std::size_t(y) * stride, stride,
                                  reinterpret_cast<const char*>(ours.Page().Row(y)), stride),
                0)
          << "row " << y;
  }
}

// Drawn four device pixels to an image pixel: gray with an inverted Decode, and a stencil
// (which paints where the page is black unless its Decode turns it around).
TEST(JBIG2Images, DrawLikePdftoppm) {
  if (!PdftoppmAvailable()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
  const TCase& text = kCases[7];
  EXPECT_TRUE(MatchesPdftoppm(Pdf(text, "/ColorSpace /DeviceGray /BitsPerComponent 1", 4), 72,
                              "jbig2-gray"));
  EXPECT_TRUE(MatchesPdftoppm(
      Pdf(text, "/ColorSpace /DeviceGray /BitsPerComponent 1 /Decode [1 0]", 4), 72,
      "jbig2-decode-inverted"));
  EXPECT_TRUE(MatchesPdftoppm(Pdf(kCases[0], "/ImageMask true", 4), 72, "jbig2-stencil"));
  EXPECT_TRUE(MatchesPdftoppm(Pdf(kCases[3], "/ImageMask true /Decode [1 0]", 4), 72,
                              "jbig2-stencil-inverted"));
}

TEST(JBIG2Images, DamagedDataKeepsTheRowsBeforeTheDamage) {
  std::string data = GenericPage({0, false, {}});
  TKesJBIG2Decoder whole;
  ASSERT_TRUE(whole.DecodePage(data));
  data.resize(data.size() / 2);
  TKesJBIG2Decoder cut;
  ASSERT_TRUE(cut.DecodePage(data));
  ASSERT_EQ(cut.Height(), kH);
  std::vector<std::uint8_t> a(kW), b(kW);
  for (int y = 0; y < 4; ++y) {
    whole.PageRow(y, a);
    cut.PageRow(y, b);
    EXPECT_EQ(a, b) << "row " << y;
  }
  EXPECT_FALSE(cut.PageRow(kH, b));
}

}  // namespace
}  // namespace kestrel::testing
