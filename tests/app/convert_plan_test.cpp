#include <gtest/gtest.h>

#include <filesystem>

#include "app/convert_plan.h"
#include "support/temp_dir.h"

namespace {

using plover::OutputFolderFor;
using plover::ProgressAtFileEnd;
using plover::ProgressAtFileStart;

TEST(ConvertPlan, OutputFolderBesideTheSourceOrUnderTheChosenFolder) {
  EXPECT_EQ(OutputFolderFor("/docs/", "report.pdf", false, "/out"), "/docs/report/");
  EXPECT_EQ(OutputFolderFor("/docs/", "report.final.pdf", false, "/out"), "/docs/report.final/");
  EXPECT_EQ(OutputFolderFor("/docs/", "a.pdf", true, "/out"), "/out/a/");
  EXPECT_EQ(OutputFolderFor("/docs/", "a.pdf", true, "/out/"), "/out/a/");
  EXPECT_EQ(OutputFolderFor("/docs", "noext", false, ""), "/docs/noext/");
  EXPECT_EQ(OutputFolderFor("/docs/", ".pdf", false, ""), "/docs/.pdf/");
}

TEST(ConvertPlan, FolderNamesNeverLeaveTheOutputFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"report.pdf", "report"}, {"..pdf", "..pdf"}, {"...pdf", "...pdf"}, {"....pdf", "..."},
      {"..", "document"},       {"", "document"},   {".", "document"},    {"a.b.pdf", "a.b"}};
  for (const auto& [file, folder] : cases) EXPECT_EQ(plover::FolderNameFor(file), folder) << file;
}

TEST(ConvertPlan, SameNameInOneRunGetsDistinctFolders) {
  testsupport::TempDir dir;
  plover::TFolderClaims claims;
  EXPECT_EQ(claims.Claim(dir.Path(), "report"), dir.Path() + "/report");
  EXPECT_EQ(claims.Claim(dir.Path() + "/", "report"), dir.Path() + "/report (2)");
  // A link (or a file) under the next name is passed over, never written through.
  std::filesystem::create_directory_symlink("/tmp", dir.Path() + "/report (3)");
  EXPECT_EQ(claims.Claim(dir.Path(), "report"), dir.Path() + "/report (4)");
  claims.Release(dir.Path() + "/report (2)");
  EXPECT_EQ(claims.Claim(dir.Path(), "report"), dir.Path() + "/report (2)");
}

TEST(ConvertPlan, PageFilesOfAnotherRun) {
  testsupport::TempDir dir;
  using R = std::vector<plover::TPageRange>;
  EXPECT_EQ(plover::ForeignPageFile(dir.Path() + "/none", "PNG", {}, 3), "");
  for (const char* name : {"1.PNG", "2.PNG", "notes.txt", "01.JPEG", "3.png", "x.PNG"}) dir.Write(name, "");
  // Pages this run writes again are no mixing; another format or a page it skips is.
  EXPECT_EQ(plover::ForeignPageFile(dir.Path(), "PNG", {}, 2), "");
  EXPECT_EQ(plover::ForeignPageFile(dir.Path(), "PNG", R{{1, 2}}, 5), "");
  EXPECT_EQ(plover::ForeignPageFile(dir.Path(), "PNG", R{{2, 2}}, 5), "1.PNG");
  EXPECT_EQ(plover::ForeignPageFile(dir.Path(), "PNG", {}, 1), "2.PNG");
  EXPECT_NE(plover::ForeignPageFile(dir.Path(), "JPEG", {}, 9), "");
}

TEST(ConvertPlan, OverallProgress) {
  EXPECT_EQ(ProgressAtFileStart(1, 2), 25);
  EXPECT_EQ(ProgressAtFileEnd(1, 2), 50);
  EXPECT_EQ(ProgressAtFileStart(2, 2), 75);
  EXPECT_EQ(ProgressAtFileEnd(2, 2), 100);
  EXPECT_EQ(ProgressAtFileStart(1, 1), 50);
  EXPECT_EQ(ProgressAtFileStart(1, 3), 16);
  EXPECT_EQ(ProgressAtFileEnd(1, 3), 33);
  EXPECT_EQ(ProgressAtFileEnd(2, 3), 66);
  // Exact shares stay exact (a floating-point product truncates 0.29 * 100 to 28).
  EXPECT_EQ(ProgressAtFileEnd(29, 100), 29);
  EXPECT_EQ(ProgressAtFileEnd(0, 0), 0);
}

}  // namespace
