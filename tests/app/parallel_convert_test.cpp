#include "app/parallel_convert.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "support/pdf_builder.h"
#include "support/temp_dir.h"

using namespace plover;
namespace fs = std::filesystem;

namespace {

// Four pages of different drawings in the page tree's count, but one of its kids does not exist:
// pages 1-3 are drawn, page 4 is not found.
std::string DocumentWithAHole() {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 99 0 R 5 0 R] /Count 4 >>");
  for (int i = 0; i < 3; ++i) {
    b.Object(3 + i, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents " + std::to_string(6 + i) +
                        " 0 R >>");
    b.Stream(6 + i, "", std::to_string(10 + 40 * i) + " 10 m 190 90 l S");
  }
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

// Everything a run tells about its files, with the output folder's own path left out.
std::string RunAndDescribe(const std::vector<TBatchFile>& files, const std::string& out, int jobs) {
  TFolderClaims claims;
  TBatch batch;
  batch.Extension = "PNG";
  batch.FormatIndex = 5;
  batch.Jobs = jobs;
  batch.Claims = &claims;
  std::ostringstream said;
  std::size_t expected = 0;
  batch.Started = [&](std::size_t i, const std::string& folder) {
    said << "start " << i << (i == expected ? "" : " OUT OF ORDER") << " " << fs::relative(folder, out).string() << "\n";
  };
  batch.Finished = [&](std::size_t i, int result, const TJobReport& r) {
    said << "file " << i << (i == expected ? "" : " OUT OF ORDER") << ": result " << result << ", problem "
         << static_cast<int>(r.Problem) << " \"" << r.Reason << "\", " << r.PagesWritten << " of " << r.PageCount
         << " pages, folder " << (r.FolderUsed ? "used" : "-") << "\n";
    ++expected;
  };
  std::vector<TBatchFile> placed = files;
  for (TBatchFile& f : placed) {
    f.ClaimParent = out;
    f.Options.Dpi = 24;
    f.Options.CreateParents = true;
    f.Options.PageWritten = [&](int page) { said << "  page " << page << " written\n"; };
    f.Options.PageFailed = [&](int page, const std::string& text) { said << "  page " << page << ": " << text << "\n"; };
  }
  ConvertFiles(placed, batch);
  std::map<std::string, std::size_t> pageFiles;  // in name order: workers make them in any order
  for (const auto& entry : fs::recursive_directory_iterator(out)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    pageFiles[fs::relative(entry.path(), out).string()] =
        std::hash<std::string>{}(std::string(std::istreambuf_iterator<char>(in), {}));
  }
  for (const auto& [name, hash] : pageFiles) said << name << " " << hash << "\n";
  return said.str();
}

}  // namespace

// Whatever the workers do in whatever order, the caller sees what one worker gives: folders
// claimed and given back as one file after the other would, each file's report and messages in
// page order, the same bytes in the same page files; a file that fails does not stop the others.
TEST(ParallelConvert, SeveralWorkersGiveWhatOneGives) {
  testsupport::TempDir dir;
  for (const char* sub : {"a", "b", "c"}) fs::create_directories(dir.Path() + "/" + sub);
  auto file = [](std::string path, std::string name) {
    TBatchFile f;
    f.Source = std::move(path);
    f.ClaimName = std::move(name);
    return f;
  };
  const std::vector<TBatchFile> files = {
      file(dir.Write("b/report.pdf", "not a PDF"), "report"),
      file(dir.Write("a/report.pdf", testpdf::SimpleDocument(7)), "report"),
      file(dir.Write("hole.pdf", DocumentWithAHole()), "hole"),
      file(dir.Write("c/report.pdf", testpdf::SimpleDocument(2)), "report"),
      file(dir.Path() + "/missing.pdf", "missing"),
  };
  const std::string one = RunAndDescribe(files, dir.Path() + "/one", 1);
  EXPECT_EQ(one.find("OUT OF ORDER"), std::string::npos) << one;
  // The unreadable file gave its folder name back to the next report.pdf.
  const std::string complete = ": result " + std::to_string(kJobComplete) + ", problem 0 \"\", ";
  EXPECT_NE(one.find("start 1 report\n"), std::string::npos) << one;
  EXPECT_NE(one.find("file 1" + complete + "7 of 7 pages, folder used\n"), std::string::npos) << one;
  EXPECT_NE(one.find("start 3 report (2)\n  page 1 written\n  page 2 written\nfile 3" + complete +
                     "2 of 2 pages, folder used\n"),
            std::string::npos)
      << one;
  // The tree with a hole holds 3 pages, not the 4 it declares: its count is corrected.
  EXPECT_NE(one.find("  page 3 written\nfile 2" + complete + "3 of 3 pages, folder used\n"), std::string::npos) << one;
  EXPECT_NE(one.find("hole/3.PNG"), std::string::npos) << one;
  for (int jobs : {2, 4}) EXPECT_EQ(RunAndDescribe(files, dir.Path() + "/jobs" + std::to_string(jobs), jobs), one);
}

// Cancel stops every worker after the page in its hands: the file says so, no temporary page
// file is left, and files not started yet get no event.
TEST(ParallelConvert, CancelStopsAllWorkers) {
  testsupport::TempDir source, dir;
  std::atomic<bool> cancel{false};
  TBatch batch;
  batch.Extension = "PNG";
  batch.FormatIndex = 5;
  batch.Jobs = 3;
  batch.Cancel = &cancel;
  std::map<std::size_t, std::pair<int, TJobReport>> finished;
  batch.Finished = [&](std::size_t i, int result, const TJobReport& r) { finished[i] = {result, r}; };
  const std::string long_ = source.Write("long.pdf", testpdf::SimpleDocument(200));
  std::vector<TBatchFile> files(8);
  for (std::size_t i = 0; i < files.size(); ++i) {
    files[i].Source = long_;
    files[i].OutputFolder = dir.Path() + "/out" + std::to_string(i);
    files[i].Options.Dpi = 24;
    files[i].Options.Progress = [&](int) { cancel = true; };
  }
  ConvertFiles(files, batch);
  ASSERT_TRUE(finished.count(0));
  EXPECT_EQ(finished[0].first, kJobFailed);
  EXPECT_EQ(finished[0].second.Problem, TJobProblem::Cancelled);
  EXPECT_LT(finished[0].second.PagesWritten, 200);
  EXPECT_LT(finished.size(), files.size());
  for (const auto& entry : fs::recursive_directory_iterator(dir.Path()))
    EXPECT_EQ(entry.path().extension(), entry.is_directory() ? "" : ".PNG") << entry.path();
}
