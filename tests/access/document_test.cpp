#include <gtest/gtest.h>

#include "engine/access/document.h"
#include "support/pdf_builder.h"

using namespace kestrel;
using testpdf::PdfBuilder;

namespace {

// Root [A B]: A is a Pages node with three pages, B a page.
std::string TwoLevelTree(const std::string& rootCount = "4") {
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R 7 0 R] /Count " + rootCount + " >>");
  b.Object(3, "<< /Type /Pages /Parent 2 0 R /Kids [4 0 R 5 0 R 6 0 R] /Count 3 >>");
  for (int n = 4; n <= 7; ++n) b.Object(n, "<< /Type /Page /Parent 2 0 R >>");
  b.Object(12, "12");
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

int PageObj(TSmartPDFDocument& d, int n) {
  TPDFIndRef* ref = d.FindPage(n);
  return ref ? ref->RefObjNum : 0;
}

}  // namespace

TEST(DocumentPages, FindPageWalksByCount) {
  std::string file = TwoLevelTree();
  TSmartPDFReader r(file);
  TSmartPDFDocument d(r);
  EXPECT_EQ(d.GetPageCount(), 4);
  EXPECT_EQ(PageObj(d, 1), 4);
  EXPECT_EQ(PageObj(d, 2), 5);
  EXPECT_EQ(PageObj(d, 3), 6);
  EXPECT_EQ(PageObj(d, 4), 7);
  EXPECT_EQ(PageObj(d, 5), 0);
  EXPECT_EQ(PageObj(d, 0), 0);
  // Lookups again, in another order, after the tree has been learned.
  EXPECT_EQ(PageObj(d, 3), 6);
  EXPECT_EQ(PageObj(d, 1), 4);
}

TEST(DocumentPages, CountByReference) {
  std::string file = TwoLevelTree("12 0 R");
  TSmartPDFReader r(file);
  TSmartPDFDocument d(r);
  // The count is read through its reference; the tree holds fewer pages, and those count.
  EXPECT_EQ(d.GetPageCount(), 4);
  EXPECT_EQ(d.PageCountNote(), "the page tree holds 4 pages, not the 12 its count declares");
}

TEST(DocumentPages, DirectPagesDictionaryHasNoTree) {
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages << /Type /Pages /Kids [3 0 R] /Count 1 >> >>");
  b.Object(3, "<< /Type /Page >>");
  b.TrailerEntries("/Root 1 0 R");
  std::string file = b.Build();
  TSmartPDFReader r(file);
  TSmartPDFDocument d(r);
  // No page can be found: the count says so rather than promising one.
  EXPECT_EQ(d.GetPageCount(), 0);
  EXPECT_EQ(d.FindPage(1), nullptr);
}

TEST(DocumentPages, PagesKidWithCountOneAndDirectKids) {
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [<< /Type /Page >> 3 0 R] /Count 2 >>");
  b.Object(3, "<< /Type /Pages /Kids [4 0 R] /Count 1 >>");
  b.Object(4, "<< /Type /Page >>");
  b.TrailerEntries("/Root 1 0 R");
  std::string file = b.Build();
  TSmartPDFReader r(file);
  TSmartPDFDocument d(r);
  // The direct page contributes nothing; the one-page node is descended into.
  EXPECT_EQ(PageObj(d, 1), 4);
  EXPECT_EQ(PageObj(d, 2), 0);
}

TEST(DocumentPages, CyclesEndTheWalk) {
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 5 >>");
  b.Object(3, "<< /Type /Pages /Kids [2 0 R] /Count 5 >>");
  b.TrailerEntries("/Root 1 0 R");
  std::string file = b.Build();
  TSmartPDFReader r(file);
  TSmartPDFDocument d(r);
  // The tree holds no page whatever its count says.
  EXPECT_EQ(d.GetPageCount(), 0);
  EXPECT_EQ(d.PageCountNote(), "the page tree holds 0 pages, not the 5 its count declares");
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(d.FindPage(n), nullptr);
}

TEST(DocumentPages, LoopingBranchesAreSkippedAndTheOtherPagesKept) {
  // Root 2 lists itself between its pages; node 5 leads back to the root before its page.
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R 2 0 R 5 0 R 4 0 R] /Count 3 >>");
  b.Object(5, "<< /Type /Pages /Parent 2 0 R /Kids [2 0 R 6 0 R] /Count 1 >>");
  for (int n : {3, 4, 6}) b.Object(n, "<< /Type /Page /Parent 2 0 R >>");
  b.TrailerEntries("/Root 1 0 R");
  std::string file = b.Build();
  TSmartPDFReader r(file);
  TSmartPDFDocument d(r);
  EXPECT_EQ(PageObj(d, 1), 3);
  EXPECT_EQ(PageObj(d, 2), 6);
  EXPECT_EQ(PageObj(d, 3), 4);
  EXPECT_EQ(d.FindPage(4), nullptr);
}

TEST(DocumentPages, IsPageRefChecksOwnerAndType) {
  std::string file = TwoLevelTree();
  TSmartPDFReader r(file);
  TSmartPDFDocument d(r);
  TSmartPDFDocument other(r);
  TPDFIndRef* a = d.FindPage(2);
  TPDFIndRef* b = d.FindPage(2);
  ASSERT_NE(a, nullptr);
  EXPECT_NE(a, b);
  EXPECT_TRUE(d.IsPageRef(a));
  EXPECT_TRUE(d.IsPageRef(b));
  EXPECT_FALSE(other.IsPageRef(a));
  EXPECT_FALSE(d.IsPageRef(r.Pool().NewIndRef(5, 0)));
  EXPECT_FALSE(d.IsPageRef(d.LocalPool().NewIndRef(3, 0)));  // a Pages node, not a page
  EXPECT_FALSE(d.IsPageRef(nullptr));
}

TEST(DocumentOverlay, NewObjectAndDirectAcroForm) {
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [] >> >>");
  b.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
  b.TrailerEntries("/Root 1 0 R");
  std::string file = b.Build();
  TSmartPDFReader r(file);
  TSmartPDFDocument d(r);
  ASSERT_NE(d.FormDictionary(), nullptr);
  auto* catalogue = As<TPDFDictionary>(d.LoadObject(1));
  auto* formRef = As<TPDFIndRef>(catalogue->GetValue("AcroForm", false));
  ASSERT_NE(formRef, nullptr);
  EXPECT_EQ(formRef->RefObjNum, r.HighestObjectNumber() + 1);
  EXPECT_EQ(d.LoadObject(formRef->RefObjNum), d.FormDictionary());
  TPDFIndRef* next = d.NewObject(r.Pool().NewNull());
  EXPECT_EQ(next->RefObjNum, formRef->RefObjNum + 1);
  EXPECT_EQ(d.GetPageCount(), 0);
}

TEST(DocumentPages, BalancedTreeEveryPageOnce) {
  std::string file = testpdf::BalancedTreeDocument(250, 7);
  TSmartPDFReader r(file);
  TSmartPDFDocument d(r);
  ASSERT_EQ(d.GetPageCount(), 250);
  std::set<int> seen;
  for (int n = 1; n <= 250; ++n) {
    TPDFIndRef* ref = d.FindPage(n);
    ASSERT_NE(ref, nullptr) << n;
    EXPECT_TRUE(d.IsPageRef(ref)) << n;
    seen.insert(ref->RefObjNum);
  }
  EXPECT_EQ(seen.size(), 250u);
}
