// The form field tree read at open, and the selected page's annotation holder.
#include <gtest/gtest.h>

#include "engine/access/document.h"
#include "support/pdf_builder.h"

using namespace kestrel;
using testpdf::PdfBuilder;

namespace {

struct TFieldCase {
  int num;
  const char* dict;
  TFieldKind kind;
};

// Fields 10 to 19 under one AcroForm; kinds come from FT and Ff, inherited through Parent.
const TFieldCase kFields[] = {
    {10, "/FT /Tx /T (name) /Rect [100 700 300 720]", TFieldKind::Text},
    {11, "/FT /Btn /Ff 65536", TFieldKind::PushButton},
    {12, "/FT /Btn", TFieldKind::CheckBox},
    {13, "/FT /Btn /Ff 32768", TFieldKind::RadioButton},
    {14, "/FT /Ch", TFieldKind::Choice},
    {15, "/FT /Sig", TFieldKind::Signature},
    {16, "/FT /Ch /Ff 131072 /Kids [17 0 R]", TFieldKind::Choice},
    {17, "/Parent 16 0 R /T <FEFF00C4004E>", TFieldKind::Choice},
    {18, "/Kids [19 0 R 18 0 R] /T (group)", TFieldKind::NonTerminal},
    {19, "/Parent 18 0 R /Kids [18 0 R]", TFieldKind::NonTerminal},
};

TEST(FormFields, TreeKindsNamesAndRectangles) {
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R /AcroForm 3 0 R >>")
      .Object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
      .Object(3, "<< /Fields [10 0 R 11 0 R 12 0 R 13 0 R 14 0 R 15 0 R 16 0 R 18 0 R 10 0 R] >>")
      .TrailerEntries("/Root 1 0 R");
  for (const TFieldCase& c : kFields) b.Object(c.num, std::string("<< ") + c.dict + " >>");
  const std::string file = b.Build();
  TSmartPDFReader r(file);
  TSmartPDFDocument d(r);
  ASSERT_NE(d.Form(), nullptr);
  const auto& fields = d.Form()->Fields();
  // Each field once: the repeated entry in Fields and the Kids that lead back are skipped.
  ASSERT_EQ(fields.size(), std::size(kFields));
  for (std::size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(fields[i]->Reference()->RefObjNum, kFields[i].num);
    EXPECT_EQ(fields[i]->Kind(), kFields[i].kind) << kFields[i].dict;
  }
  EXPECT_EQ(fields[0]->PartialName, "name");
  EXPECT_DOUBLE_EQ(fields[0]->Left, 100);
  EXPECT_DOUBLE_EQ(fields[0]->Top, 720);
  EXPECT_DOUBLE_EQ(fields[0]->Width, 200);
  EXPECT_DOUBLE_EQ(fields[0]->Height, 20);
  EXPECT_EQ(fields[7]->PartialName, "\xC3\x84N");  // UTF-16BE
  EXPECT_EQ(fields[7]->Parent(), fields[6].get());
  EXPECT_TRUE(fields[6]->HasKids);
  EXPECT_TRUE(fields[9]->HasKids);
  // Absent CO and DR are added to the form dictionary.
  EXPECT_EQ(d.FormDictionary()->GetValue("CO", false), d.Form()->CalculationOrder());
  ASSERT_NE(d.Form()->DefaultResources(), nullptr);
}

TEST(FormFields, DeepTreeAndParentLoopAreBounded) {
  // A chain of 500 fields, each the only kid of the one before; the last names the first as
  // its Parent, so inheritance walks a loop.
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [10 0 R] >> >>")
      .Object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
      .TrailerEntries("/Root 1 0 R");
  for (int n = 10; n < 510; ++n)
    b.Object(n, "<< /Parent " + std::to_string(n == 10 ? 509 : n - 1) + " 0 R /Kids [" +
                    std::to_string(n + 1) + " 0 R] >>");
  const std::string file = b.Build();
  TSmartPDFReader r(file);
  TSmartPDFDocument d(r);
  ASSERT_NE(d.Form(), nullptr);
  EXPECT_LT(d.Form()->Fields().size(), 100u);
  EXPECT_EQ(d.Form()->Fields().back()->Kind(), TFieldKind::NonTerminal);
  EXPECT_EQ(d.Form()->Fields().back()->Inherited("FT"), nullptr);
}

TEST(PageAnnots, HolderFollowsTheSelectedPage) {
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
      .Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>")
      .Object(3, "<< /Type /Page /Parent 2 0 R /Annots 5 0 R >>")
      .Object(4, "<< /Type /Page /Parent 2 0 R >>")
      .Object(5, "[6 0 R 7 0 R]")
      .TrailerEntries("/Root 1 0 R");
  const std::string file = b.Build();
  TSmartPDFReader r(file);
  TSmartPDFDocument d(r);
  int changes = 0;
  d.Annots().OnChange = [&changes] { ++changes; };
  ASSERT_NE(d.FindPage(1), nullptr);
  EXPECT_EQ(d.Annots().Count(), 2);
  d.Annots().SelectedIndex = 1;
  ASSERT_NE(d.FindPage(2), nullptr);
  EXPECT_EQ(d.Annots().Array(), nullptr);
  EXPECT_EQ(d.Annots().SelectedIndex, -1);
  EXPECT_EQ(d.FindPage(3), nullptr);
  EXPECT_EQ(changes, 2);
}

}  // namespace
