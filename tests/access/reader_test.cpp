#include <gtest/gtest.h>

#include "engine/access/reader.h"
#include "engine/access/xref_locator.h"
#include "support/pdf_builder.h"

using namespace kestrel;
using testpdf::PdfBuilder;

namespace {

PdfBuilder Basic() {
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R >>");
  b.Object(4, "(four)");
  b.TrailerEntries("/Root 1 0 R");
  return b;
}

std::string StringOf(TSmartPDFReader& r, int n) {
  auto* s = As<TPDFString>(r.LoadObject(n));
  return s ? s->Value : "<none>";
}

}  // namespace

TEST(ReaderHeader, JunkBeforeHeaderUpTo1024Bytes) {
  std::string ok = Basic().Prefix(std::string(600, 'x')).Build();
  TSmartPDFReader r(ok);
  EXPECT_EQ(r.GetProblem(), TSmartPDFReader::kNoProblem);
  EXPECT_EQ(r.Version(), "1.7");
  EXPECT_EQ(StringOf(r, 4), "four");

  std::string late = Basic().Prefix(std::string(1100, 'x')).Build();
  EXPECT_EQ(TSmartPDFReader(late).GetProblem(), TSmartPDFReader::kNoHeader);
  const std::string twoDots = Basic().Header("%PDF-1.4.1\n").Build();
  EXPECT_EQ(TSmartPDFReader(twoDots).GetProblem(), TSmartPDFReader::kNoHeader);
  const std::string postscript = Basic().Header("%!PS-Adobe-3.0 PDF-1.3\n").Build();
  EXPECT_EQ(TSmartPDFReader(postscript).Version(), "1.3");
}

TEST(ReaderHeader, EmptyAndGarbageFiles) {
  EXPECT_EQ(TSmartPDFReader(TByteView("")).GetProblem(), TSmartPDFReader::kNoHeader);
  EXPECT_EQ(TSmartPDFReader(TByteView("%PDF-1.4\n")).GetProblem(), TSmartPDFReader::kBadXRef);
  EXPECT_EQ(TSmartPDFReader(TByteView("%PDF-1.4\nstartxref\n99999\n%%EOF")).GetProblem(), TSmartPDFReader::kBadXRef);
  std::string noTrailer = Basic().Build();
  noTrailer.replace(noTrailer.find("trailer"), 7, "xxxxxxx");
  // Rebuilt by scanning: the catalogue is found by its type.
  TSmartPDFReader rebuilt(noTrailer);
  EXPECT_EQ(rebuilt.GetProblem(), TSmartPDFReader::kNoProblem);
  EXPECT_TRUE(rebuilt.Repaired());
}

TEST(ReaderXRef, FindStartXRefToleratesTrailingGarbageAndComments) {
  std::string file = Basic().Suffix(std::string(5000, 'g')).Build();
  TSmartPDFReader r(file);
  EXPECT_EQ(r.GetProblem(), TSmartPDFReader::kNoProblem);
  EXPECT_EQ(StringOf(r, 4), "four");
  EXPECT_EQ(TPDFXRefReader(TByteView("startxref\n 12 % note\n%%EOF")).FindStartXRef(), 12);
  EXPECT_EQ(TPDFXRefReader(TByteView("startxref\n12\n%%EOF")).FindStartXRef(), 12);
  EXPECT_EQ(TPDFXRefReader(TByteView("nothing here")).FindStartXRef(), 0);
  // A damaged end mark "%%E" in the last bytes still ends the search.
  EXPECT_EQ(TPDFXRefReader(TByteView("startxref\n77\n%%E")).FindStartXRef(), 77);
  // Too many digits for an offset: none of them is read (no overflow under UBSan).
  EXPECT_EQ(TPDFXRefReader(TByteView("startxref\n123456789012345678901234567890\n%%EOF")).FindStartXRef(), 0);
}

TEST(ReaderXRef, SlightlyWrongStartOffset) {
  for (int shift : {-5, 5}) {
    const std::string file_ = Basic().StartXRefShift(shift).Build();
  TSmartPDFReader r(file_);
    EXPECT_EQ(r.GetProblem(), TSmartPDFReader::kNoProblem) << shift;
    EXPECT_EQ(StringOf(r, 4), "four") << shift;
  }
}

TEST(ReaderXRef, NineteenByteEntries) {
  const std::string file_ = Basic().ShortEntries().Build();
  TSmartPDFReader r(file_);
  ASSERT_EQ(r.GetProblem(), TSmartPDFReader::kNoProblem);
  EXPECT_EQ(StringOf(r, 4), "four");
  EXPECT_NE(As<TPDFDictionary>(r.LoadObject(3)), nullptr);
}

TEST(ReaderXRef, IncrementalUpdateNewerSectionWins) {
  std::string file = PdfBuilder::AppendUpdate(Basic().Build(), {{4, "(newer)"}, {7, "(seven)"}}, "/Root 1 0 R");
  TSmartPDFReader r(file);
  ASSERT_EQ(r.GetProblem(), TSmartPDFReader::kNoProblem);
  EXPECT_EQ(StringOf(r, 4), "newer");
  EXPECT_EQ(StringOf(r, 7), "seven");
  EXPECT_NE(As<TPDFDictionary>(r.LoadObject(1)), nullptr);  // only in the older section
}

TEST(ReaderXRef, PrevChainCycleEnds) {
  std::string file = Basic().Build();
  std::size_t sx = file.rfind("startxref");
  std::string offset = std::to_string(std::stol(file.substr(sx + 9)));
  // The trailer names its own section as the older one.
  file.replace(file.find("/Root 1 0 R"), 11, "/Root 1 0 R /Prev " + offset);
  TSmartPDFReader r(file);
  EXPECT_EQ(r.GetProblem(), TSmartPDFReader::kNoProblem);
  EXPECT_EQ(StringOf(r, 4), "four");
}

TEST(ReaderXRefStream, EntriesAndObjectStreams) {
  PdfBuilder b = Basic();
  b.Object(5, "<< /Kind /InStream >>");
  b.Compressed(9, {4, 5});
  b.XRefStream();
  const std::string built = b.Build();
  TSmartPDFReader r(built);
  ASSERT_EQ(r.GetProblem(), TSmartPDFReader::kNoProblem);
  EXPECT_TRUE(r.HasXRefStream());
  EXPECT_TRUE(r.IsCompressed(4));
  EXPECT_EQ(StringOf(r, 4), "four");
  auto* d = As<TPDFDictionary>(r.LoadObject(5));
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->GetNameValue("Kind"), "InStream");
  EXPECT_NE(r.TrailerDictionary("Root"), nullptr);
  EXPECT_EQ(r.TrailerReference("Root")->RefObjNum, 1);
}

TEST(ReaderXRefStream, IndexAndImplicitType) {
  // Hand-made stream: Index [0 5 10 3], W [0 2 1]: every entry is in use.
  std::string head = "%PDF-1.5\n";
  std::string obj = "1 0 obj\n(one)\nendobj\n";
  std::string file = head + obj;
  const int objOffset = static_cast<int>(head.size());
  std::string rows;
  for (int i = 0; i < 8; ++i) {
    rows += static_cast<char>((objOffset >> 8) & 0xFF);
    rows += static_cast<char>(objOffset & 0xFF);
    rows += '\0';
  }
  const std::size_t xref = file.size();
  file += "20 0 obj\n<< /Type /XRef /Size 13 /Index [0 5 10 3] /W [0 2 1] /Root 1 0 R /Length " +
          std::to_string(rows.size()) + " >>\nstream\n" + rows + "\nendstream\nendobj\nstartxref\n" +
          std::to_string(xref) + "\n%%EOF\n";
  TSmartPDFReader r(file);
  ASSERT_EQ(r.GetProblem(), TSmartPDFReader::kNoProblem);
  EXPECT_EQ(r.Entry(0), nullptr);
  for (int n : {1, 2, 3, 4, 10, 11, 12}) {
    ASSERT_NE(r.Entry(n), nullptr) << n;
    EXPECT_EQ(r.Entry(n)->Type, 'n') << n;
  }
  EXPECT_EQ(r.Entry(5)->Number, 0);
  EXPECT_EQ(StringOf(r, 12), "one");
}

TEST(ReaderObjects, StreamLengthTooShortOrTooLong) {
  std::string data = "0123456789ABCDEFGHIJ";
  PdfBuilder b = Basic();
  b.Object(5, "<< /Length 10 >>\nstream\n" + data + "\nendstream");
  b.Object(6, "<< /Length 500 >>\nstream\n" + data + "\nendstream");
  b.Object(7, "<< /Length 8 0 R >>\nstream\n" + data + "\nendstream");
  b.Object(8, "20");
  const std::string built = b.Build();
  TSmartPDFReader r(built);
  auto* shortLen = As<TPDFStream>(r.LoadObject(5));
  ASSERT_NE(shortLen, nullptr);
  EXPECT_EQ(shortLen->Data(), data + "\n");
  auto* longLen = As<TPDFStream>(r.LoadObject(6));
  ASSERT_NE(longLen, nullptr);
  EXPECT_EQ(longLen->Data(), data);
  auto* indirect = As<TPDFStream>(r.LoadObject(7));
  ASSERT_NE(indirect, nullptr);
  EXPECT_EQ(indirect->Data(), data);
}

TEST(ReaderObjects, SelfReferencesAreBounded) {
  PdfBuilder b = Basic();
  // A stream whose Length names itself, and an object stream that contains itself.
  b.Object(5, "<< /Length 5 0 R >>\nstream\nabc\nendstream");
  b.Object(6, "(six)");
  b.Compressed(9, {6});
  b.XRefStream();
  std::string file = b.Build();
  TSmartPDFReader r(file);
  ASSERT_EQ(r.GetProblem(), TSmartPDFReader::kNoProblem);
  EXPECT_NE(r.LoadObject(5), nullptr);
  EXPECT_EQ(StringOf(r, 6), "six");
  EXPECT_EQ(r.LoadObject(999), nullptr);
  EXPECT_EQ(r.LoadObject(0), nullptr);
  EXPECT_EQ(r.LoadObject(-3), nullptr);
}

TEST(ReaderCache, HundredObjectsThenEviction) {
  PdfBuilder b = Basic();
  for (int n = 10; n < 112; ++n) b.Object(n, "(" + std::to_string(n) + ")");
  const std::string built = b.Build();
  TSmartPDFReader r(built);
  TPDFObject* first = r.LoadObject(10);
  EXPECT_EQ(r.LoadObject(10), first);
  for (int n = 11; n < 111; ++n) r.LoadObject(n);
  TPDFObject* again = r.LoadObject(10);
  EXPECT_NE(again, first);  // evicted and parsed again
  EXPECT_EQ(As<TPDFString>(again)->Value, "10");
  TPDFStructure pool;
  TPDFObject* fresh = r.LoadObject(11, &pool);
  EXPECT_EQ(fresh->Owner(), &pool);
}

TEST(ReaderObjects, ObjectStreamIndexMustNameTheObject) {
  PdfBuilder b = Basic();
  b.Object(5, "(five)");
  b.Compressed(9, {4, 5});
  b.XRefStream();
  std::string file = b.Build();
  TSmartPDFReader r(file);
  // Object 5's entry says index 1; ask for object 4 through a hand-made wrong entry instead.
  ASSERT_TRUE(r.IsCompressed(5));
  EXPECT_EQ(StringOf(r, 5), "five");
  EXPECT_EQ(r.Entry(5)->Second, 1);
}

TEST(ReaderXRef, OffsetsCountedFromTheHeader) {
  // A correct file with junk put in front: its offsets are relative to the header.
  std::string file = std::string(300, '#') + "\n" + Basic().Build();
  TSmartPDFReader r(file);
  ASSERT_EQ(r.GetProblem(), TSmartPDFReader::kNoProblem);
  EXPECT_EQ(StringOf(r, 4), "four");
  EXPECT_NE(r.TrailerDictionary("Root"), nullptr);
}
