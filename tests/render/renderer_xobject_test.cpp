// Form XObjects and inline images in the content.
#include <gtest/gtest.h>

#include <algorithm>
#include <latch>
#include <thread>

#include "engine/images/inline_image.h"
#include "engine/syntax/filters.h"
#include "renderer_test_support.h"

namespace kestrel::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(RendererForms, MatrixScalesTheFormAndIsUndoneAfterwards) {
  TRendererFixture f(false);
  f.AddStream(10, "<< /Type /XObject /Subtype /Form /BBox [0 0 1000 1000] /Matrix [2 0 0 2 0 0] >>",
              "0 0 m 10 10 l S");
  f.Render("/Fm Do 0 0 m 10 10 l S", "<< /XObject << /Fm 10 0 R >> >>");
  EXPECT_EQ(f.Starting("LineTo"), (Lines{"LineTo 20 80", "LineTo 10 90"}));
}

TEST(RendererForms, FormStartsWithTheCallersStateAndCannotChangeIt) {
  TRendererFixture f;
  f.AddStream(10, "<< /Subtype /Form >>", "0 0 m 1 1 l S 0 1 0 RG 0 0 m 1 1 l S");
  f.Render("1 0 0 RG /Fm Do 0 0 m 1 1 l S", "<< /XObject << /Fm 10 0 R >> >>");
  EXPECT_EQ(f.Starting("SetStrokeColor"),
            (Lines{"SetStrokeColor 0x0000FF", "SetStrokeColor 0x00FF00", "SetStrokeColor 0x0000FF"}));
}

TEST(RendererForms, BoundingBoxClipsAndIsRestored) {
  TRendererFixture f(false);
  f.AddStream(10, "<< /Subtype /Form /BBox [0 0 20 10] >>", "0 0 m 1 1 l S");
  f.Render("/Fm Do", "<< /XObject << /Fm 10 0 R >> >>");
  EXPECT_EQ(f.Lines(), (Lines{"SaveClip -> 1", "BeginPath", "MoveTo 0 100", "LineTo 20 100",
                               "LineTo 20 90", "LineTo 0 90", "ClosePath", "SetClip 1", "EndPath",
                               "SaveClip -> 2", "BeginPath", "MoveTo 0 100", "LineTo 1 99",
                               "StrokePath", "RestoreClip 1"}));
}

TEST(RendererForms, EscapedNamesFindTheirResource) {
  TRendererFixture f(false);
  f.AddStream(10, "<< /Subtype /Form >>", "0 0 m 1 1 l S");
  f.Render("/My#20Form Do", "<< /XObject << /My#20Form 10 0 R >> >>");
  EXPECT_EQ(f.Count("StrokePath"), 1u);
}

TEST(RendererForms, FormsUseTheirOwnOrInheritedResources) {
  TRendererFixture f;
  f.AddStream(10, "<< /Subtype /Form /Resources << /ExtGState << /G << /LW 7 >> >> >> >>",
              "/G gs 0 0 m 1 1 l S");
  f.AddStream(11, "<< /Subtype /Form >>", "/G gs 0 0 m 1 1 l S");
  f.Render("/A Do /B Do", "<< /XObject << /A 10 0 R /B 11 0 R >> /ExtGState << /G << /LW 3 >> >> >>");
  EXPECT_EQ(f.Starting("SetLineWidth"), (Lines{"SetLineWidth 7", "SetLineWidth 3"}));
}

TEST(RendererForms, SelfReferenceAndFanOutAreBounded) {
  TRendererFixture f(false);
  // A form that draws itself, and a chain where each form draws the next one twice.
  f.AddStream(10, "<< /Subtype /Form /Resources << /XObject << /Me 10 0 R >> >> >>",
              "0 0 m 1 1 l S /Me Do");
  f.Render("/Me Do", "<< /XObject << /Me 10 0 R >> >>");
  EXPECT_EQ(f.Count("StrokePath"), 1u);

  TRendererFixture g(false);
  g.canvas = TRecordingCanvas(false, 10);
  const int levels = 40;
  for (int i = 0; i < levels; ++i) {
    g.AddStream(100 + i, "<< /Subtype /Form /Resources << /XObject << /N " +
                             std::to_string(101 + i) + " 0 R >> >> >>",
                "0 0 m 1 1 l S /N Do /N Do");
  }
  g.Render("/N Do", "<< /XObject << /N 100 0 R >> >>");
  // 2^40 drawings are not attempted: nesting stops at the depth limit and the page's count of
  // form drawings is capped.
  EXPECT_LE(g.renderer.FormInvocations, 200'000u);
  EXPECT_GT(g.renderer.FormInvocations, 1000u);
  // What was left out is said, once per cause.
  EXPECT_EQ(g.renderer.ErrorText(),
            "forms nested deeper than 28 levels were left out\n"
            "the page draws more than 200000 forms: the others were left out");
}

TEST(RendererForms, PagesOfADocumentShareItsBudget) {
  // Two pages of each of two documents: one whose pages draw a form of 16 MiB of zeros with
  // 8 MiB of decoded data for the document, one whose pages draw a form chain that branches
  // 2^12 times with 300 form drawings for the document.
  const std::string packed = DeflateBytes(std::string(16u << 20, '\0'));
  const struct {
    TDocumentBudget::TAmounts Budget;
    const char* Content;
    std::size_t Forms[2];
    const char* Notes[2];
  } documents[] = {
      {{8u << 20, 1'000'000, 1000},
       "/Z Do",
       {1, 1},
       {"the document's streams decode to more than its budget allows: the page is drawn from what fit",
        // The stream cut short is not decoded again.
        "stream 50 was left out: it decodes to more than the page budget allows, as another page found"}},
      {{8u << 20, 1'000'000, 300},
       "/N Do",
       {300, 0},
       {"the document has drawn as many forms as its budget allows: the page's other forms were left out",
        "the document has drawn as many forms as its budget allows: the page's other forms were left out"}},
  };
  for (const auto& d : documents) {
    TDocumentBudget budget(d.Budget);
    for (int page = 0; page < 2; ++page) {
      TRendererFixture f(false);
      f.renderer.DocumentBudget = &budget;
      f.PageObject += page;
      for (int i = 0; i < 12; ++i)
        f.AddStream(100 + i, "<< /Subtype /Form /Resources << /XObject << /N " + std::to_string(101 + i) +
                                 " 0 R >> >> >>", "/N Do /N Do");
      f.AddStream(50, "<< /Subtype /Form /Filter /FlateDecode >>", packed);
      f.Render(d.Content, "<< /XObject << /N 100 0 R /Z 50 0 R >> >>");
      EXPECT_EQ(f.renderer.FormInvocations, d.Forms[page]) << d.Content << " page " << page;
      EXPECT_EQ(f.renderer.ErrorText(), d.Notes[page]) << d.Content << " page " << page;
    }
  }
}

TEST(RendererForms, AStreamEveryPageSharesIsChargedInFullOnce) {
  // Ten pages draw one form of 3 MiB with 8 MiB of decoded data for the document: charged in
  // full every time, the third page would find the document's budget spent.
  const std::string packed = DeflateBytes(std::string(3u << 20, ' '));
  TDocumentBudget budget({8u << 20, 1'000'000, 1000});
  for (int page = 0; page < 10; ++page) {
    TRendererFixture f(false);
    f.renderer.DocumentBudget = &budget;
    f.AddStream(50, "<< /Subtype /Form /Filter /FlateDecode >>", packed);
    f.Render("/Z Do", "<< /XObject << /Z 50 0 R >> >>");
    EXPECT_EQ(f.renderer.ErrorText(), "") << "page " << page;
  }
}

TEST(RendererForms, PagesDrawnAtOnceDecodeAStreamTooBigForThemOnce) {
  // Two pages sharing a document budget of 8 MiB start together on two threads, both drawing a
  // form of 16 MiB of zeros: one decodes it and is cut short, the other waits for it and then
  // leaves the stream out instead of decoding it as well.
  const std::string packed = DeflateBytes(std::string(16u << 20, '\0'));
  TDocumentBudget budget({8u << 20, 1'000'000, 1000});
  std::vector<std::string> notes(2);
  std::latch start(2);
  auto page = [&](std::size_t i) {
    TRendererFixture f(false);
    f.renderer.DocumentBudget = &budget;
    f.PageObject += static_cast<int>(i);
    f.AddStream(50, "<< /Subtype /Form /Filter /FlateDecode >>", packed);
    start.arrive_and_wait();
    f.Render("/Z Do", "<< /XObject << /Z 50 0 R >> >>");
    notes[i] = f.renderer.ErrorText();
  };
  std::thread other(page, 1);
  page(0);
  other.join();
  std::sort(notes.begin(), notes.end());
  EXPECT_EQ(notes, (Lines{"stream 50 was left out: it decodes to more than the page budget allows, as another page "
                          "found",
                          "the document's streams decode to more than its budget allows: the page is drawn from "
                          "what fit"}));
}

TEST(RendererForms, ImagesDrawOnceDecodedAndUnknownObjectsDrawNothing) {
  TRendererFixture f(false);
  f.AddStream(10, "<< /Subtype /Image /Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceGray >>",
              "\x80");
  f.AddStream(11, "<< /Subtype /PS >>", "");
  f.Add(12, "<< /Subtype /Form >>");
  // An image past the size limit is left out with a note; what follows it is still drawn.
  f.AddStream(13, "<< /Subtype /Image /Width 100000 /Height 100000 /BitsPerComponent 8 "
                  "/ColorSpace /DeviceRGB >>", "");
  f.Render("/Big Do /Im Do /Ps Do /NotStream Do /Missing Do 0 0 m 1 1 l S /Im Do /Im Do",
           "<< /XObject << /Im 10 0 R /Ps 11 0 R /NotStream 12 0 R /Big 13 0 R >> >>");
  EXPECT_EQ(f.Count("StrokePath"), 1u);
  ASSERT_EQ(f.renderer.ImageProblems().size(), 1u);
  EXPECT_EQ(f.renderer.ImageProblems()[0], "Image skipped: image size unusable or too large");
  // The same image three times: decoded once, drawn three times.
  EXPECT_EQ(f.Starting("DrawBitmap").size(), 3u);
  EXPECT_EQ(f.renderer.Images.Count(), 1u);
  EXPECT_EQ(f.renderer.ErrorText(), "Image skipped: image size unusable or too large");
}

TEST(RendererInlineImages, DataIsSkippedWhateverItHolds) {
  TRendererFixture f(false);
  // The raw data spells operators (and even "EI") inside the declared size.
  f.Render("BI /W 6 /H 1 /BPC 8 /CS /G ID 0 0 EI f EI 0 0 m 1 1 l S");
  EXPECT_EQ(f.Lines(), (Lines{"DrawBitmap 1x1 0 99 1 99 0 100 smooth", "BeginPath",
                              "MoveTo 0 100", "LineTo 1 99", "StrokePath"}));
}

TEST(RendererInlineImages, ExtentFromSizeAndFilters) {
  const std::string raw = "BI /W 4 /H 2 /BPC 8 /CS /G ID 12345678 EI Q";
  TInlineImageExtent e = FindInlineImageEnd(raw, 2, nullptr);
  ASSERT_TRUE(e.Found);
  EXPECT_EQ(raw.substr(e.DataStart, e.DataEnd - e.DataStart), "12345678 ");
  EXPECT_EQ(raw.substr(e.Next), " Q");

  // Colour spaces with several components and bit depths below 8 count whole rows.
  const std::string rgb = "BI /W 3 /H 2 /BPC 4 /CS /RGB ID abcdefEIxy EI";
  e = FindInlineImageEnd(rgb, 2, nullptr);
  ASSERT_TRUE(e.Found);
  EXPECT_EQ(e.DataEnd - e.DataStart, 11u);  // 2 rows of 5 bytes, then the space

  // A hex-encoded image ends at the first free-standing EI.
  const std::string hex = "BI /W 2 /H 1 /F /AHx ID 4142> EI";
  e = FindInlineImageEnd(hex, 2, nullptr);
  ASSERT_TRUE(e.Found);
  EXPECT_EQ(hex.substr(e.DataStart, e.DataEnd - e.DataStart), "4142> ");

  // Named colour spaces are counted by the caller.
  const std::string named = "BI /W 2 /H 1 /BPC 8 /CS /CS0 ID abcdefgh EI";
  e = FindInlineImageEnd(named, 2, [](TByteView name) { return name == "CS0" ? 4 : 0; });
  ASSERT_TRUE(e.Found);
  EXPECT_EQ(e.DataEnd - e.DataStart, 9u);

  // No ID, or no EI: the rest of the content is the image's.
  e = FindInlineImageEnd("BI /W 1 /H 1", 2, nullptr);
  EXPECT_FALSE(e.Found);
  EXPECT_EQ(e.Next, 12u);
  e = FindInlineImageEnd("BI /W 1 /H 1 /BPC 8 ID xyz", 2, nullptr);
  EXPECT_FALSE(e.Found);
}

TEST(RendererInlineImages, JpegDataIsWalkedToItsEnd) {
  // SOI, an APP0 segment whose bytes hold " EI ", SOS with scan data holding "EI", EOI.
  using namespace std::string_literals;
  const std::string jpeg = "\xFF\xD8\xFF\xE0\x00\x06 EI "s + "\xFF\xDA\x00\x02 EI \xFF\x00\xFF\xD0 "s +
                           "\xFF\xD9"s;
  const std::string content = "BI /W 1 /H 1 /F /DCT ID " + jpeg + " EI";
  TInlineImageExtent e = FindInlineImageEnd(content, 2, nullptr);
  ASSERT_TRUE(e.Found);
  EXPECT_EQ(e.Next, content.size());
}

}  // namespace
}  // namespace kestrel::testing
