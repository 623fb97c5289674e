// Font records and the font cache: loading by reference once, composite and symbolic fonts,
// the memory bound.
#include <gtest/gtest.h>

#include <map>

#include "engine/fonts/font_collection.h"
#include "engine/fonts/truetype_rasterizer.h"
#include "support/recording_canvas.h"
#include "engine/syntax/structure.h"
#include "fonts/test_fonts.h"

namespace kestrel::testing {
namespace {

class FontCache : public ::testing::Test {
 protected:
  FontCache() {
    pool.OnResolveRef = [this](TPDFIndRef*, int32_t num, int32_t) -> TPDFObject* {
      auto it = objects.find(num);
      return it == objects.end() ? nullptr : it->second;
    };
  }
  TPDFObject* Add(int num, const std::string& text) {
    TPDFObject* obj = pool.ParseObject(text);
    obj->MarkIndirect(num, 0);
    return objects[num] = obj;
  }
  void AddStream(int num, const std::string& data) {
    TPDFStream* s = pool.NewStreamOf(pool.NewDictionary(), data);
    s->MarkIndirect(num, 0);
    objects[num] = s;
  }
  TPDFIndRef& Ref(int num) { return *pool.NewIndRef(num, 0); }

  TPDFStructure pool;
  std::map<int, TPDFObject*> objects;
  TPDFFontCollection fonts;
};

TEST_F(FontCache, LoadsEachReferenceOnce) {
  Add(12, "<< /Type /Font /Subtype /Type1 /BaseFont /Foo /FirstChar 65 /LastChar 66 /Widths [500 (x)] >>");
  Add(5, "<< /Type /Font /Subtype /TrueType /Encoding /WinAnsiEncoding >>");
  fonts.SelectFontByRef(Ref(12));
  TPDFFontCollectionData* twelve = fonts.CurrentFont();
  fonts.SelectFontByRef(Ref(5));
  TPDFFontCollectionData* five = fonts.CurrentFont();
  fonts.SelectFontByRef(Ref(12));
  EXPECT_EQ(fonts.CurrentFont(), twelve);
  fonts.SelectFontByKey(5);
  EXPECT_EQ(fonts.CurrentFont(), five);
  fonts.SelectFontByKey(99);  // unknown: unchanged
  EXPECT_EQ(fonts.CurrentFont(), five);
  EXPECT_EQ(fonts.LoadCount(), 2u);
  EXPECT_EQ(twelve->FontName, "Foo");
  EXPECT_EQ(twelve->Widths[65], 500);
  EXPECT_EQ(twelve->Widths[66], 0);    // not a number
  EXPECT_EQ(twelve->Widths[67], 722);  // outside FirstChar..LastChar: the stand-in's "C"
  EXPECT_EQ(five->FontName, "Arial");
  EXPECT_EQ(five->GlyphNames[128], "Euro");
  // A dictionary given directly loads on every selection.
  fonts.LoadFontDict(*As<TPDFDictionary>(objects[5]));
  fonts.LoadFontDict(*As<TPDFDictionary>(objects[5]));
  EXPECT_EQ(fonts.LoadCount(), 4u);
  EXPECT_EQ(fonts.CurrentFont()->ObjectNumber, 0);
}

TEST_F(FontCache, CompositeAndSymbolicTrueTypeFonts) {
  const std::string& font = TestFont("shapes-symbol.ttf");
  REQUIRE_FONT(font);
  AddStream(30, font);
  AddStream(31, std::string("\0\0\0\2", 4));
  Add(20, "<< /Type /FontDescriptor /Flags 4 /FontFile2 30 0 R >>");
  Add(10, "<< /Subtype /Type0 /Encoding /Identity-H /DescendantFonts [11 0 R] >>");
  Add(11, "<< /Subtype /CIDFontType2 /BaseFont /Shapes /CIDSystemInfo << /Registry (Adobe) "
          "/Ordering (Identity) /Supplement 0 >> /FontDescriptor 20 0 R /DW 500 "
          "/W [1 [650]] /CIDToGIDMap 31 0 R >>");
  Add(12, "<< /Subtype /TrueType /FontDescriptor 20 0 R /Encoding << /Differences [65 /B] >> >>");
  fonts.SelectFontByRef(Ref(10));
  TPDFFontCollectionData* cid = fonts.CurrentFont();
  ASSERT_NE(cid, nullptr);
  EXPECT_TRUE(cid->IsComposite);
  EXPECT_EQ(cid->CMapName, "Identity-H");
  EXPECT_EQ(cid->CIDSystemInfo, "Adobe-Identity-0");
  EXPECT_NE(dynamic_cast<TPDFTrueTypeRasterizer2*>(cid->Rasterizer.get()), nullptr);
  EXPECT_EQ(cid->CIDWidths->WidthOf(1), 650);
  EXPECT_EQ(cid->CIDWidths->WidthOf(2), 500);
  EXPECT_EQ(cid->GlyphOfCID(1), 2);
  EXPECT_EQ(cid->GlyphOfCID(9), 9);  // beyond the map
  std::vector<TPDFCharCode> codes;
  cid->StringToCodes(std::string("\0\1\1\0\7", 5), codes);
  ASSERT_EQ(codes.size(), 3u);
  EXPECT_EQ(codes[1].CID, 256u);
  EXPECT_EQ(codes[2].CID, 0x700u);
  // Symbolic: codes name glyphs "CID:n" and Differences are set aside.
  fonts.SelectFontByRef(Ref(12));
  TPDFFontCollectionData* sym = fonts.CurrentFont();
  EXPECT_EQ(sym->GlyphNames[65], "CID:65");
  TRecordingCanvas canvas(false);
  EXPECT_TRUE(sym->Rasterizer->DrawGlyph(canvas, {}, 0, 0, sym->GlyphNames[65]));
  EXPECT_EQ(canvas.Lines().front(), "MoveTo 100 0");  // the square, glyph A
}

TEST_F(FontCache, DropsLeastRecentlyUsedFontsPastItsBound) {
  const std::string& font = TestFont("dejavu-subset.ttf");
  REQUIRE_FONT(font);
  AddStream(30, font);
  Add(20, "<< /Type /FontDescriptor /Flags 32 /FontFile2 30 0 R >>");
  for (int i = 0; i < 50; ++i) Add(100 + i, "<< /Subtype /TrueType /FontDescriptor 20 0 R >>");
  fonts.MemoryBound = 10 * font.size();
  fonts.SelectFontByRef(Ref(100));
  TPDFFontCollectionData* first = fonts.CurrentFont();
  {
    const TPDFFontCollection::TPin pin(fonts, first);  // in use: never dropped
    for (int i = 1; i < 50; ++i) fonts.SelectFontByRef(Ref(100 + i));
    EXPECT_LE(fonts.MemorySize(), fonts.MemoryBound);
    EXPECT_GT(fonts.EvictionCount(), 30u);
    fonts.SelectFontByKey(100);
    EXPECT_EQ(fonts.CurrentFont(), first);
  }
  // A dropped font loads again when it is selected.
  const std::size_t loads = fonts.LoadCount();
  fonts.SelectFontByRef(Ref(101));
  EXPECT_EQ(fonts.LoadCount(), loads + 1);
  EXPECT_EQ(fonts.CurrentFont()->ObjectNumber, 101);
}

}  // namespace
}  // namespace kestrel::testing
