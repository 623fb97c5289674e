// Fax images on a page the test writes, rendered by Kestrel and by pdftoppm and compared: each
// coding, BlackIs1 and Decode, Indexed colour, a filter chain, stencil and explicit masks, a
// Width other than Columns and an inline image.
#include <gtest/gtest.h>
#include <tiffio.h>
#include <zlib.h>

#include "images/fax_test_encoder.h"
#include "pixel_compare.h"
#include "support/pdf_builder.h"

namespace kestrel::testing {
namespace {

std::string Deflate(const std::string& data) {
  uLongf size = compressBound(uLong(data.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size,
           reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()));
  out.resize(size);
  return out;
}

TEST(FaxPixels, CodingsFlagsAndMasksMatchPdftoppm) {
  if (!PdftoppmAvailable()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
  const oracle::TFaxBitmap bitmap = oracle::MakeFaxBitmap(90, 60);
  const std::string g4 = oracle::EncodeFax(bitmap, COMPRESSION_CCITTFAX4, 0, 0);
  const std::string g3 =
      oracle::EncodeFax(bitmap, COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING, 0);
  const std::string mh = oracle::EncodeFax(bitmap, COMPRESSION_CCITTRLE, 0, 0);
  ASSERT_FALSE(g4.empty() || g3.empty() || mh.empty());

  const std::string fax = "/Type /XObject /Subtype /Image /Width 90 /Height 60 ";
  const std::string gray = fax + "/BitsPerComponent 1 /ColorSpace /DeviceGray ";
  const std::string group4 = "/Filter /CCITTFaxDecode /DecodeParms << /K -1 /Columns 90 >>";
  testpdf::PdfBuilder b;
  b.Stream(100, gray + group4, g4);
  b.Stream(101, gray + "/Decode [1 0] /Filter /CCITTFaxDecode /DecodeParms << /K 4 "
                       "/Columns 90 /EndOfLine true >>", g3);
  b.Stream(102, gray + "/Decode [1 0] /Filter /CCITTFaxDecode /DecodeParms << /K -1 "
                       "/Columns 90 /BlackIs1 true >>", g4);
  b.Stream(103, fax + "/BitsPerComponent 1 /ColorSpace [/Indexed /DeviceRGB 1 <2040C0 F0E0A0>] "
                      "/Filter /CCITTFaxDecode /DecodeParms << /Columns 90 "
                      "/EncodedByteAlign true >>", mh);
  b.Stream(104, gray + "/Filter [/FlateDecode /CCITTFaxDecode] /DecodeParms [null << /K -1 "
                       "/Columns 90 >>]", Deflate(g4));
  b.Stream(105, fax + "/ImageMask true " + group4, g4);
  b.Stream(106, "/Type /XObject /Subtype /Image /Width 3 /Height 2 /BitsPerComponent 8 "
                "/ColorSpace /DeviceRGB /Mask 105 0 R", "\xC0\x20\x20\x20\xC0\x20\x20\x20\xC0"
                                                       "\xC0\xC0\x20\x20\xC0\xC0\xC0\x20\xC0");
  // Rows of 90 decoded pixels read back as rows of 80, as other readers do.
  b.Stream(107, "/Type /XObject /Subtype /Image /Width 80 /Height 60 /BitsPerComponent 1 "
                "/ColorSpace /DeviceGray " + group4, g4);
  const char* names[] = {"G4", "G3", "B1", "Ix", "Fl", "St", "Mk", "Cw"};
  std::string content = "0.9 0.9 0.6 rg 0 0 300 210 re f 0.8 0.1 0.1 rg\n", xobjects;
  for (int i = 0; i < 9; ++i) {
    const int x = 5 + i % 3 * 98, y = 5 + i / 3 * 68;
    // The narrower image four device pixels an image pixel from a whole device pixel, where
    // the renderers' rounding of pixel edges cannot differ.
    content += i == 7 ? std::string("q 76.8 0 0 57.6 103.2 141.12 cm ")
                      : "q 90 0 0 60 " + std::to_string(x) + " " + std::to_string(y) + " cm ";
    if (i < 8) {
      content += "/" + std::string(names[i]) + " Do Q\n";
      xobjects += "/" + std::string(names[i]) + " " + std::to_string(100 + i) + " 0 R ";
    } else {
      content += "BI /W 90 /H 60 /BPC 1 /CS /G /F /CCF /DP << /K -1 /Columns 90 >> ID\n" + g4 +
                 "\nEI Q\n";
    }
  }
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 210] /Resources << /XObject << " +
                  xobjects + ">> >> /Contents 4 0 R >>");
  b.Stream(4, "", content);
  b.TrailerEntries("/Root 1 0 R");
  // At 300 dpi an image pixel is four device pixels or more, where pdftoppm does not smooth.
  EXPECT_TRUE(MatchesPdftoppm(b.Build(), 300, "fax-images"));
}

}  // namespace
}  // namespace kestrel::testing
