#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/conversion_job.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

using namespace plover;
namespace fs = std::filesystem;

TEST(JobScale, DpiFromScalePosition) {
  EXPECT_EQ(DpiForScaleIndex(0), 24);
  EXPECT_EQ(DpiForScaleIndex(3), 96);
  EXPECT_EQ(DpiForScaleIndex(19), 480);
}

TEST(JobStatus, Texts) {
  EXPECT_EQ(StatusText(1, kJobOpenFailed), "Open failed(password?)");
  EXPECT_EQ(StatusText(1, kJobComplete), "Complete");
  EXPECT_EQ(StatusText(1, kJobFailed), "Failed");
  EXPECT_EQ(StatusText(0, kJobComplete), "完成");
  EXPECT_EQ(StatusText(0, 1), "就绪");
}

TEST(JobCount, PagesAndFailures) {
  testsupport::TempDir dir;
  std::string path = dir.Write("three.pdf", testpdf::SimpleDocument(3));
  EXPECT_EQ(CountPages(path, ""), 3);
  std::string junk = dir.Write("junk.pdf", "not a pdf");
  EXPECT_EQ(CountPages(junk, ""), 0);
  EXPECT_THROW(CountPages(dir.Path() + "/missing.pdf", ""), std::exception);
}

TEST(JobConvert, UnopenableFileIsAFailureWithNoImages) {
  testsupport::TempDir dir;
  std::string src = dir.Write("bad.pdf", "%PDF-1.4\nbroken");
  fs::create_directories(dir.Path() + "/out");
  int calls = 0;
  int r = ConvertFile(dir.Path() + "/", "bad.pdf", "", "PNG", 5, 3, dir.Path() + "/out/", [&](int) { ++calls; });
  EXPECT_EQ(r, kJobOpenFailed);
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(fs::is_empty(dir.Path() + "/out"));
  // Nothing is made for a file that produced no page, not even its folder.
  EXPECT_EQ(ConvertFile(dir.Path() + "/", "bad.pdf", "", "PNG", 5, 3, dir.Path() + "/out/bad/", nullptr),
            kJobOpenFailed);
  EXPECT_FALSE(fs::exists(dir.Path() + "/out/bad"));
  // A source that disappeared.
  EXPECT_EQ(ConvertFile(dir.Path() + "/", "gone.pdf", "", "PNG", 5, 3, dir.Path() + "/out/", nullptr), kJobOpenFailed);
}

TEST(JobConvert, PagesWithoutImageWriteNoEmptyFiles) {
  testsupport::TempDir dir;
  // A catalogue without a page tree counts one page that cannot be found.
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog >>");
  b.TrailerEntries("/Root 1 0 R");
  dir.Write("notree.pdf", b.Build());
  fs::create_directories(dir.Path() + "/out");
  std::vector<int> progress;
  int r = ConvertFile(dir.Path() + "/", "notree.pdf", "", "PNG", 5, 3, dir.Path() + "/out/",
                      [&](int p) { progress.push_back(p); });
  EXPECT_EQ(r, kJobFailed);
  EXPECT_FALSE(fs::exists(dir.Path() + "/out/1.PNG"));
  EXPECT_EQ(progress, std::vector<int>{100});
}

TEST(JobConvert, TemporaryCopyIsRemoved) {
  testsupport::TempDir dir;
  dir.Write("one.pdf", testpdf::SimpleDocument(1));
  fs::create_directories(dir.Path() + "/out");
  fs::create_directories(dir.Path() + "/tmp");
  // Each test runs in its own process, so pointing TMPDIR at a private folder is safe.
  ::setenv("TMPDIR", (dir.Path() + "/tmp").c_str(), 1);
  ConvertFile(dir.Path() + "/", "one.pdf", "", "PNG", 5, 0, dir.Path() + "/out/", nullptr);
  ConvertFile(dir.Path() + "/", "missing.pdf", "", "PNG", 5, 0, dir.Path() + "/out/", nullptr);
  ::unsetenv("TMPDIR");
  EXPECT_TRUE(fs::is_empty(dir.Path() + "/tmp"));
}

TEST(JobConvert, DeclaredCountFarAboveTheTreeStops) {
  testsupport::TempDir dir;
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 2000000000 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] >>");
  b.TrailerEntries("/Root 1 0 R");
  dir.Write("bogus.pdf", b.Build());
  fs::create_directories(dir.Path() + "/out");
  TConvertOptions options;
  std::string reason;
  options.PageFailed = [&](int page, const std::string& problem) {
    if (page == 0) reason = problem;
  };
  EXPECT_EQ(ConvertFileWith(dir.Path() + "/bogus.pdf", "", "PNG", 5, dir.Path() + "/out", options), kJobFailed);
  EXPECT_NE(reason.find("fewer pages"), std::string::npos);
}

TEST(JobConvert, ReportSaysWhyAFileDidNotOpen) {
  testsupport::TempDir dir;
  fs::create_directory(dir.Path() + "/folder.pdf");
  const struct {
    std::string File, Bytes;
    TJobProblem Problem;
    const char* Reason;
  } cases[] = {
      {"missing.pdf", "", TJobProblem::NoSuchFile, "no such file"},
      {"folder.pdf", "", TJobProblem::NotPdf, "not a PDF file (a folder)"},
      {"empty.pdf", "", TJobProblem::NotPdf, "not a PDF file (the file is empty)"},
      {"text.pdf", "hello", TJobProblem::NotPdf, "not a PDF file"},
      {"cut.pdf", "%PDF-1.4\nbroken", TJobProblem::Damaged, "damaged file: "},
  };
  for (const auto& c : cases) {
    if (c.File != "missing.pdf" && c.File != "folder.pdf") dir.Write(c.File, c.Bytes);
    TConvertOptions options;
    TJobReport report;
    options.Report = &report;
    EXPECT_EQ(ConvertFileWith(dir.Path() + "/" + c.File, "", "PNG", 5, dir.Path() + "/out", options), kJobOpenFailed);
    EXPECT_EQ(report.Problem, c.Problem) << c.File;
    EXPECT_EQ(report.Reason.rfind(c.Reason, 0), 0u) << c.File << ": " << report.Reason;
    EXPECT_FALSE(report.FolderUsed);
  }
}

TEST(JobConvert, PagesPastTheEndAreNamedOnceWithTheCount) {
  testsupport::TempDir dir;
  dir.Write("two.pdf", testpdf::SimpleDocument(2));
  TConvertOptions options;
  options.Dpi = 24;
  options.Pages = {{2, 2}, {5, 1000000000}};
  std::vector<std::string> problems;
  options.PageFailed = [&](int, const std::string& p) { problems.push_back(p); };
  TJobReport report;
  options.Report = &report;
  EXPECT_EQ(ConvertFileWith(dir.Path() + "/two.pdf", "", "PNG", 5, dir.Path() + "/out", options), kJobFailed);
  EXPECT_EQ(problems, std::vector<std::string>{"pages 5-1000000000 do not exist: the document has 2 pages"});
  EXPECT_EQ(report.PagesWritten, 1);
  EXPECT_TRUE(fs::exists(dir.Path() + "/out/2.PNG"));
}
