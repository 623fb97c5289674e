#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "engine/kestrel.h"
#include "support/pdf_builder.h"

using namespace kestrel;

TEST(FacadeOpen, HandlesAndPageCount) {
  std::string file = testpdf::SimpleDocument(3);
  TKestrel0725 engine;
  TSmartPDFLink* h = engine.OpenDocument(file, "");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(engine.GetPageCount(h), 3);
  TPDFIndRef* page = engine.FindPage(h, 2);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->RefObjNum, 5);
  EXPECT_EQ(engine.FindPage(h, 4), nullptr);
  EXPECT_EQ(engine.LastErrorCode, 0);
}

TEST(FacadeOpen, ProblemCodes) {
  TKestrel0725 engine;
  EXPECT_EQ(engine.OpenDocument(TByteView("garbage, not a PDF"), ""), nullptr);
  EXPECT_EQ(engine.LastErrorCode, kErrorBadStructure);
  EXPECT_EQ(engine.OpenDocument(TByteView(""), ""), nullptr);
  EXPECT_EQ(engine.LastErrorCode, kErrorBadStructure);
  // Truncated before any object: nothing to rebuild the cross-reference data from.
  std::string file = testpdf::SimpleDocument(1);
  EXPECT_EQ(engine.OpenDocument(TByteView(file).substr(0, file.find(" 0 obj") - 1), ""), nullptr);
  EXPECT_EQ(engine.LastErrorCode, kErrorBadStructure);
  // A broken xref offset is repaired by scanning.
  std::string broken = file;
  broken.replace(broken.rfind("startxref\n") + 10, 1, "9");
  TSmartPDFLink* repaired = engine.OpenDocument(broken, "");
  ASSERT_NE(repaired, nullptr);
  EXPECT_TRUE(repaired->Repaired());
  EXPECT_EQ(OpenProblemCode("BadPassword"), 404);
  EXPECT_EQ(OpenProblemCode("FileNotFound"), 411);
  EXPECT_EQ(OpenProblemCode("CouldNotOpen"), 401);
  EXPECT_EQ(OpenProblemCode(""), 0);
}

TEST(FacadeHandles, ForeignAndMissingHandlesAreRefused) {
  std::string file = testpdf::SimpleDocument(2);
  TKestrel0725 a, b;
  TSmartPDFLink* ha = a.OpenDocument(file, "");
  TSmartPDFLink* hb = a.OpenDocument(file, "");
  ASSERT_NE(ha, nullptr);
  EXPECT_EQ(b.GetPageCount(ha), 0);
  EXPECT_EQ(b.FindPage(ha, 1), nullptr);
  EXPECT_EQ(a.GetPageCount(nullptr), 0);
  TBytes out;
  EXPECT_EQ(b.RenderPageToStream(ha, a.FindPage(ha, 1), out, 96, 5), 0);
  // A page of one handle is refused by another handle of the same engine.
  EXPECT_EQ(a.RenderPageToStream(hb, a.FindPage(ha, 1), out, 96, 5), 0);
  EXPECT_EQ(a.RenderPageToStream(ha, nullptr, out, 96, 5), 0);
  EXPECT_TRUE(out.empty());
}

TEST(FacadeHandles, HandlesShareOneMappedFile) {
  const std::string file = testpdf::SimpleDocument(2);
  const std::string path = ::testing::TempDir() + "/shared-mapping.pdf";
  std::ofstream(path, std::ios::binary) << file;
  TFileBytes::TFailure failure;
  std::string reason;
  std::shared_ptr<const TFileBytes> bytes = TFileBytes::Map(path, failure, reason);
  std::remove(path.c_str());  // the mapping outlives the name
  ASSERT_TRUE(bytes) << reason;
  EXPECT_EQ(bytes->View(), file);
  TKestrel0725 engine;
  TSmartPDFLink* first = engine.OpenDocument(bytes, "");
  TSmartPDFLink* second = engine.OpenDocument(bytes, "");
  ASSERT_TRUE(first && second);
  bytes.reset();
  TBytes out;
  EXPECT_EQ(engine.RenderPageToStream(second, engine.FindPage(second, 2), out, 24, 5), 1);
  EXPECT_EQ(engine.GetPageCount(first), 2);
  EXPECT_FALSE(out.empty());
}

TEST(FacadeHandles, OpenFromFileReportsMissingFile) {
  TSmartPDFLink link(std::string("/nonexistent/file.pdf"), true, "");
  EXPECT_FALSE(link.Okay());
  EXPECT_EQ(link.OpenProblem(), "FileNotFound");
}

TEST(FacadeOpen, LastCodeIsTheLatestProblem) {
  TKestrel0725 engine;
  engine.OpenDocument(TByteView("junk"), "");
  EXPECT_EQ(engine.LastErrorCode, 409);
  std::string file = testpdf::SimpleDocument(1);
  EXPECT_NE(engine.OpenDocument(file, ""), nullptr);
  EXPECT_EQ(engine.LastErrorCode, 409);  // a success does not reset it
}
