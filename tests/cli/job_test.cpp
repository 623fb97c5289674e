#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
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
  // A page past the side limit (40000 pixels at 96 dpi) is refused.
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 30000 30000] >>");
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

TEST(JobConvert, TheFileIsReadInPlaceWithoutTemporaryFiles) {
  testsupport::TempDir dir;
  dir.Write("one.pdf", testpdf::SimpleDocument(1));
  fs::create_directories(dir.Path() + "/tmp");
  // Each test runs in its own process, so pointing TMPDIR elsewhere is safe.
  for (const std::string tmp : {dir.Path() + "/tmp", std::string("/nonexistent")}) {
    ::setenv("TMPDIR", tmp.c_str(), 1);
    EXPECT_EQ(ConvertFile(dir.Path() + "/", "one.pdf", "", "PNG", 5, 0, dir.Path() + "/out/", nullptr), kJobComplete)
        << tmp;
  }
  ::unsetenv("TMPDIR");
  EXPECT_TRUE(fs::is_empty(dir.Path() + "/tmp"));
}

TEST(JobConvert, PageNotesReachStderrOncePerCauseAndTheReport) {
  // Page 1: an empty media box; page 2: forms nested 40 deep; the tree's count is absurd.
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2147483647 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 0 0] >>");
  b.Object(4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] /Contents 5 0 R "
              "/Resources << /XObject << /N 10 0 R >> >> >>");
  b.Stream(5, "", "/N Do /N Do");
  for (int i = 0; i < 40; ++i)
    b.Stream(10 + i, "/Subtype /Form /BBox [0 0 10 10] /Resources << /XObject << /N " + std::to_string(11 + i) +
                         " 0 R >> >>", "0 0 m 1 1 l S /N Do");
  testsupport::TempDir dir;
  const std::string file = dir.Write("notes.pdf", b.Build());
  EXPECT_EQ(CountPages(file, ""), 2);
  TConvertOptions options;
  std::vector<std::string> notes;
  options.PageNote = [&](int page, const std::string& note) { notes.push_back(std::to_string(page) + ": " + note); };
  TJobReport report;
  options.Report = &report;
  EXPECT_EQ(ConvertFileWith(file, "", "PNG", 5, dir.Path() + "/out", options), kJobComplete);
  const std::vector<std::string> expected = {
      "0: the page tree holds 2 pages, not the 2147483647 its count declares",
      "1: the page's box is empty: it is drawn as US Letter",
      "2: forms nested deeper than 28 levels were left out",
  };
  EXPECT_EQ(notes, expected);
  const std::vector<std::string> kept = {
      "the page tree holds 2 pages, not the 2147483647 its count declares",
      "page 1: the page's box is empty: it is drawn as US Letter",
      "page 2: forms nested deeper than 28 levels were left out",
  };
  EXPECT_EQ(report.PageNotes, kept);
  EXPECT_EQ(fs::file_size(dir.Path() + "/out/1.PNG") > 0, true);
}

TEST(JobConvert, DeclaredCountAboveTheTreeIsCorrected) {
  testsupport::TempDir dir;
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 3 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] >>");
  b.TrailerEntries("/Root 1 0 R");
  dir.Write("bogus.pdf", b.Build());
  TConvertOptions options;
  std::vector<std::string> said;
  options.PageFailed = [&](int, const std::string& problem) { said.push_back(problem); };
  options.PageNote = [&](int, const std::string& note) { said.push_back(note); };
  EXPECT_EQ(ConvertFileWith(dir.Path() + "/bogus.pdf", "", "PNG", 5, dir.Path() + "/out", options), kJobComplete);
  EXPECT_EQ(said, std::vector<std::string>{"the page tree holds 1 page, not the 3 its count declares"});
}

TEST(JobConvert, UnreadableInputsAreRefusedWithTheirReason) {
  testsupport::TempDir dir;
  // A catalogue without a page tree (a file cut short) is found out when it is opened.
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog >>");
  b.TrailerEntries("/Root 1 0 R");
  const std::string noTree = dir.Write("notree.pdf", b.Build());
  const std::string fifo = dir.Path() + "/fifo.pdf";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string File;
    TJobProblem Problem;
    const char* Reason;
  } cases[] = {
      {noTree, TJobProblem::Damaged, "damaged file: the page tree cannot be found"},
      {"/dev/zero", TJobProblem::Unreadable, "cannot read the file: not a regular file (a device, pipe or socket)"},
      {fifo, TJobProblem::Unreadable, "cannot read the file: not a regular file (a device, pipe or socket)"},
  };
  for (const auto& c : cases) {
    TConvertOptions options;
    TJobReport report;
    options.Report = &report;
    EXPECT_EQ(ConvertFileWith(c.File, "", "PNG", 5, dir.Path() + "/out", options), kJobOpenFailed) << c.File;
    EXPECT_EQ(report.Problem, c.Problem) << c.File;
    EXPECT_EQ(report.Reason, c.Reason);
    std::string reason;
    EXPECT_EQ(CountPages(c.File, "", &reason), 0);
    EXPECT_EQ(reason, c.Reason);
  }
}

TEST(JobConvert, AFileCutShortWhileReadFailsWithoutACrash) {
  testsupport::TempDir dir;
  // Each page's objects fill several memory pages, so those of pages 2 and 3 are read only
  // after page 1 is written, by which time the file has lost everything past its first 4 KB.
  const std::string path =
      dir.Write("shrinks.pdf", testpdf::SimpleDocument(3, "0 0 m 10 10 l S\n%" + std::string(20000, 'x') + "\n"));
  TConvertOptions options;
  TJobReport report;
  options.Report = &report;
  // The pages go to one writer, page after page, on the worker that draws them.
  options.WritePage = [&](int, std::string_view) { fs::resize_file(path, 4096); };
  std::vector<std::string> problems;
  options.PageFailed = [&](int page, const std::string& p) { problems.push_back(std::to_string(page) + ": " + p); };
  EXPECT_EQ(ConvertFileWith(path, "", "PNG", 5, dir.Path() + "/out", options), kJobFailed);
  EXPECT_EQ(report.PagesWritten, 1);
  EXPECT_EQ(report.Reason, "the file changed while it was read");
  EXPECT_EQ(problems, std::vector<std::string>{"0: the file changed while it was read"});
}

TEST(JobConvertDeathTest, BusErrorsOutsideTheInputStillEndTheProcess) {
  testsupport::TempDir dir;
  EXPECT_EQ(CountPages(dir.Write("one.pdf", testpdf::SimpleDocument(1)), ""), 1);  // installs the handler
  EXPECT_EXIT(::raise(SIGBUS), ::testing::KilledBySignal(SIGBUS), "");
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
