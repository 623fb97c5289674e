// The image decoder on its own: samples to pixels, masks, limits, resizing, the page cache and
// the inline image reader.
#include <gtest/gtest.h>

#include "engine/images/image_collection.h"
#include "engine/images/image_decoder.h"
#include "engine/images/image_samples.h"
#include "engine/images/inline_image.h"
#include "engine/syntax/filters.h"
#include "engine/syntax/structure.h"

namespace kestrel {
namespace {

// Gray, RGB and a three-entry palette (red, green, blue) by name.
class TTestColors final : public TImageColorConverter {
 public:
  explicit TTestColors(TImageColorKind kind) : kind_(kind) {}
  TImageColorKind Kind() const override { return kind_; }
  int Components() const override { return kind_ == TImageColorKind::RGB ? 3 : 1; }
  void ToRGB(std::span<const double> v, std::uint8_t rgb[3]) override {
    const int i = std::clamp(static_cast<int>(v[0]), 0, 2);
    for (int c = 0; c < 3; ++c) rgb[c] = c == i ? 255 : 0;
  }

 private:
  TImageColorKind kind_;
};

TImageDecodeContext TestContext() {
  TImageDecodeContext context;
  context.Colors = [](TPDFObject* space) -> std::unique_ptr<TImageColorConverter> {
    auto* name = As<TPDFName>(space);
    if (As<TPDFArray>(space)) return std::make_unique<TTestColors>(TImageColorKind::Indexed);
    if (!name) return nullptr;
    if (name->Value == "DeviceGray") return std::make_unique<TTestColors>(TImageColorKind::Gray);
    if (name->Value == "DeviceRGB") return std::make_unique<TTestColors>(TImageColorKind::RGB);
    return nullptr;
  };
  return context;
}

// Decodes an image stream made of dictionary text and data.
std::unique_ptr<TPDFImageDecoder> Decode(TPDFStructure& pool, const std::string& dict,
                                         const std::string& data, bool expectLoaded = true,
                                         TImageDecodeContext context = TestContext()) {
  auto* d = As<TPDFDictionary>(pool.ParseObject(dict));
  EXPECT_NE(d, nullptr) << dict;
  auto decoder = std::make_unique<TPDFImageDecoder>(std::move(context));
  EXPECT_EQ(decoder->Load(*pool.NewStreamOf(d, data)), expectLoaded) << dict << decoder->Error();
  return decoder;
}

std::string Plane(const TImagePlane& p) {
  std::string out;
  for (unsigned char c : p.Data) out += std::to_string(c) + " ";
  return out;
}

TEST(ImageDecoder, SamplesBecomePixels) {
  TPDFStructure pool;
  struct TCase {
    const char* Dict;
    std::string Data;
    const char* Pixels;
  } cases[] = {
      // 4-bit 15 is 255, 2-bit 2 is 170.
      {"<< /Width 2 /Height 1 /BitsPerComponent 4 /ColorSpace /DeviceGray >>", "\xF0", "255 0 "},
      {"<< /Width 4 /Height 1 /BitsPerComponent 2 /ColorSpace /DeviceGray >>", "\x9C", "170 85 255 0 "},
      {"<< /Width 3 /Height 1 /BitsPerComponent 1 /ColorSpace /DeviceGray /Decode [1 0] >>", "\xA0",
       "0 255 0 "},
      // 16 bits keep their high byte.
      {"<< /Width 2 /Height 1 /BitsPerComponent 16 /ColorSpace /DeviceGray >>",
       std::string("\x12\x34\xFF\x00", 4), "18 255 "},
      // Indices past the palette take its last entry.
      {"<< /Width 3 /Height 1 /BitsPerComponent 2 /ColorSpace [/Indexed /DeviceRGB 2 <>] >>",
       "\x1C", "255 0 0 0 255 0 0 0 255 "},
      // Rows the data does not reach stay white.
      {"<< /Width 2 /Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray >>", "\x01\x02",
       "1 2 255 255 "},
      {"<< /Width 2 /Height 2 /BitsPerComponent 4 /ColorSpace /DeviceGray /Decode [0.5 1] >>",
       "\x0F", "128 255 255 255 "},
  };
  for (const TCase& c : cases) {
    auto decoder = Decode(pool, c.Dict, c.Data);
    EXPECT_EQ(Plane(decoder->Picture().Color), c.Pixels) << c.Dict;
  }
}

TEST(ImageDecoder, MasksAndStencils) {
  TPDFStructure pool;
  // A stencil paints its 0 samples, or with Decode [1 0] its 1 samples; short rows paint
  // nothing.
  auto s = Decode(pool, "<< /Width 3 /Height 2 /ImageMask true >>", "\x40");
  EXPECT_TRUE(s->Picture().Stencil);
  EXPECT_EQ(Plane(s->Picture().Alpha), "255 0 255 0 0 0 ");
  s = Decode(pool, "<< /Width 3 /Height 1 /ImageMask true /Decode [1 0] >>", "\x40");
  EXPECT_EQ(Plane(s->Picture().Alpha), "0 255 0 ");
  const TCanvasBitmap& red = s->Bitmap(3, 1, PackRGB(255, 0, 0));
  EXPECT_EQ(red.Pixels[1], 0xFFFF0000u);
  EXPECT_EQ(red.Pixels[0] >> 24, 0u);

  // Colour keys compare raw samples; a soft mask of another size keeps its own size.
  auto k = Decode(pool, "<< /Width 3 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceGray "
                        "/Mask [0 10] >>", "\x05\x0A\x0B");
  EXPECT_EQ(Plane(k->Picture().Alpha), "0 0 255 ");
  pool.OnResolveRef = [&](TPDFIndRef*, int32_t, int32_t) -> TPDFObject* {
    return pool.NewStreamOf(
        As<TPDFDictionary>(pool.ParseObject("<< /Width 2 /Height 1 /BitsPerComponent 8 >>")),
        std::string("\x00\xFF", 2));
  };
  auto m = Decode(pool, "<< /Width 4 /Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray "
                        "/SMask 9 0 R >>", "12345678");
  EXPECT_EQ(Plane(m->Picture().Alpha), "0 255 ");
  EXPECT_EQ(m->Picture().Width(), 4);
  const TCanvasBitmap& both = m->Bitmap(4, 2, 0);
  EXPECT_EQ(both.Pixels[1] >> 24, 0u);
  EXPECT_EQ(both.Pixels[2] >> 24, 255u);
}

TEST(ImageDecoder, MatteColourIsTakenBackOut) {
  // Gray 200 blended at opacity 128/255 into a white matte was stored as 227; an opaque
  // pixel stays as it is, and so does a transparent one. (The test colours make the matte
  // value 0 red: 255 in the first channel.)
  TPDFStructure pool;
  pool.OnResolveRef = [&](TPDFIndRef*, int32_t, int32_t) -> TPDFObject* {
    return pool.NewStreamOf(As<TPDFDictionary>(pool.ParseObject(
                                "<< /Width 3 /Height 1 /BitsPerComponent 8 /Matte [0] >>")),
                            std::string("\x80\xFF\x00", 3));
  };
  auto m = Decode(pool, "<< /Width 3 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceGray "
                        "/SMask 9 0 R >>", "\xE3\x64\x10");
  EXPECT_EQ(Plane(m->Picture().Color), "200 100 16 ");
}

TEST(ImageDecoder, UnusableImagesAreRefused) {
  TPDFStructure pool;
  for (const char* dict : {
           "<< /Width 0 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceGray >>",
           "<< /Width 1 /Height 1 /BitsPerComponent 3 /ColorSpace /DeviceGray >>",
           "<< /Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace /Unknown >>",
           // 4 × 10^9 × 10^9 bytes: past the per-image limit before anything is allocated.
           "<< /Width 1000000000 /Height 1000000000 /BitsPerComponent 8 /ColorSpace /DeviceRGB >>",
           "<< /Width 2147483647 /Height 2147483647 /ImageMask true >>",
           "<< /Width 8 /Height 0 /ColorSpace /DeviceGray /Filter /CCITTFaxDecode >>",
           "<< /Width 8 /Height 8 /ColorSpace /DeviceGray /Filter /DCTDecode >>",
       }) {
    auto decoder = Decode(pool, dict, "junk", false);
    EXPECT_TRUE(decoder->Picture().Empty()) << dict;
  }
}

TEST(ImageDecoder, ResizeAveragesWhenShrinking) {
  TImagePlane p{4, 2, 1, std::string("\x00\x10\x20\x30\x40\x50\x60\x70", 8)};
  EXPECT_EQ(Plane(ResizePlane(p, 2, 1)), "40 72 ");
  EXPECT_EQ(Plane(ResizePlane(p, 1, 1)), "56 ");
  // Enlarging repeats pixels: 2 → 5 gives the first source pixel 2 pixels, the second 3.
  TImagePlane q{2, 1, 1, std::string("\x01\x02", 2)};
  EXPECT_EQ(Plane(ResizePlane(q, 5, 1)), "1 1 2 2 2 ");
}

TEST(ImageDecoder, ImagesReadIntoTheirDrawnSizeGiveTheBitmapOfTheWholeImage) {
  // 40 × 30 pictures drawn over 6.5 × 4.2 device pixels: a 7 × 5 bitmap either way.
  TBytes gray, rgbRows, bits;
  for (int y = 0; y < 30; ++y) {
    rgbRows.push_back(static_cast<char>(y % 5));  // PNG filter types 0 to 4
    for (int x = 0; x < 40; ++x) {
      gray.push_back(static_cast<char>((x * 7 + y * 13) % 256));
      for (int c = 0; c < 3; ++c) rgbRows.push_back(static_cast<char>((x * (c + 3) + y * 5) % 256));
    }
    for (int x = 0; x < 5; ++x) bits.push_back(static_cast<char>(x * 37 + y * 11));
  }
  const TBytes soft = DeflateBytes(gray);
  TPDFStructure pool;
  pool.OnResolveRef = [&](TPDFIndRef*, int32_t, int32_t) -> TPDFObject* {
    return pool.NewStreamOf(As<TPDFDictionary>(pool.ParseObject(
                                "<< /Width 40 /Height 30 /BitsPerComponent 8 /Filter /FlateDecode >>")),
                            soft);
  };
  const std::string image = "<< /Width 40 /Height 30 /ColorSpace /DeviceGray /BitsPerComponent ";
  const struct {
    std::string Dict;
    TBytes Data;
  } cases[] = {
      {image + "8 /Filter /FlateDecode >>", DeflateBytes(gray)},
      {image + "8 /Filter /FlateDecode >>", DeflateBytes(gray.substr(0, 500))},  // cut short
      {image + "8 /Decode [1 0] /Mask [0 90] >>", gray},
      {image + "8 /SMask 9 0 R >>", gray},
      {image + "1 /Filter /FlateDecode >>", DeflateBytes(bits)},
      {image + "2 /ColorSpace [/Indexed /DeviceRGB 2 <>] >>", bits + bits},
      {"<< /Width 40 /Height 30 /ImageMask true >>", bits},
      {"<< /Width 40 /Height 30 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode "
       "/DecodeParms << /Predictor 15 /Colors 3 /Columns 40 >> >>",
       DeflateBytes(rgbRows)},
  };
  TImageDecodeContext small = TestContext();
  small.DrawnWidth = 6.5;
  small.DrawnHeight = 4.2;
  small.ReducedFromPixels = 0;
  for (const auto& c : cases) {
    auto whole = Decode(pool, c.Dict, c.Data);
    auto reduced = Decode(pool, c.Dict, c.Data, true, small);
    EXPECT_EQ(reduced->Picture().Width(), 7) << c.Dict;
    EXPECT_TRUE(reduced->TooSmallFor(8, 4)) << c.Dict;
    EXPECT_EQ(reduced->Bitmap(7, 5, 0x123456).Pixels, whole->Bitmap(7, 5, 0x123456).Pixels)
        << c.Dict;
  }
}

TEST(ImageCollection, EmptiedPastItsLimitBeforeAdding) {
  TPDFStructure pool;
  TPDFImageCollection cache;
  auto image = [&] {
    return std::shared_ptr<TPDFImageDecoder>(
        Decode(pool, "<< /Width 10 /Height 10 /BitsPerComponent 8 /ColorSpace /DeviceGray >>",
               std::string(100, 'x')));
  };
  cache.Add(1, 0, image(), 150);
  cache.Add(2, 0, image(), 150);  // 100 bytes held: not past the limit yet
  EXPECT_EQ(cache.Count(), 2u);
  EXPECT_NE(cache.Find(2, 0), nullptr);
  EXPECT_EQ(cache.Find(2, 1), nullptr);
  cache.Add(3, 0, image(), 150);  // 200 held: emptied first, the newest stays
  EXPECT_EQ(cache.Count(), 1u);
  EXPECT_EQ(cache.TotalBytes(), 100u);
  EXPECT_NE(cache.Find(3, 0), nullptr);
}

TEST(InlineImageReader, AbbreviationsBecomeFullNames) {
  TPDFStructure pool;
  const std::string content = "BI /W 4 /H 2 /BPC 8 /CS /G /F [/AHx] /DP null /I true ID 3031>\nEI Q";
  const TInlineImage image = ReadInlineImage(content, 2, pool, nullptr);
  ASSERT_NE(image.Stream, nullptr);
  EXPECT_EQ(image.Stream->Dictionary()->ToText(),
            "<<\n/Width 4\n/Height 2\n/BitsPerComponent 8\n/ColorSpace /DeviceGray\n"
            "/Filter [ /ASCIIHexDecode ]\n/DecodeParms null\n/Interpolate true\n>>\n");
  EXPECT_EQ(image.Stream->Decode(), "01");
  EXPECT_EQ(content.substr(image.Next), " Q");
  EXPECT_EQ(ReadInlineImage("BI /W 4 /H 2", 2, pool, nullptr).Stream, nullptr);
}

}  // namespace
}  // namespace kestrel
