// plover-cli run end to end once per option, on documents made here.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli/run_cli.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

using plovertest::RunCli;
using plovertest::RunResult;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Width and height from a PNG's header; 0 x 0 for anything else.
std::pair<int, int> PngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
  auto be32 = [&](std::size_t at) {
    int v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  return {be32(16), be32(20)};
}

// One 200 x 100 pt page with a crop, trim and art box, blue all over, and a square annotation
// that paints its lower left corner red.
std::string BoxesAndAnnotation() {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /CropBox [0 0 100 100] "
              "/TrimBox [10 10 60 40] /ArtBox [0 0 20 500] /Contents 4 0 R /Annots [5 0 R] >>");
  b.Stream(4, "", "0 0 1 rg 0 0 200 100 re f");
  b.Object(5, "<< /Type /Annot /Subtype /Square /Rect [0 0 50 50] /AP << /N 6 0 R >> >>");
  b.Stream(6, "/Type /XObject /Subtype /Form /BBox [0 0 50 50]", "1 0 0 rg 0 0 50 50 re f");
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

bool Exists(const std::string& path) { return fs::exists(path); }

}  // namespace

TEST(CliRunOptions, NamesPagesAndStandardInput) {
  testsupport::TempDir dir;
  const std::string pdf = dir.Write("doc.pdf", testpdf::SimpleDocument(5));
  const std::string out = dir.Path() + "/out";
  RunResult r = RunCli("--format=png --dpi 9 --name '{name}-{page:03}.{ext}' --pages odd -o " + out + " " + pdf);
  ASSERT_EQ(r.Exit, 0) << r.Out;
  EXPECT_TRUE(Exists(out + "/doc/doc-001.png") && Exists(out + "/doc/doc-003.png") && Exists(out + "/doc/doc-005.png"));
  EXPECT_FALSE(Exists(out + "/doc/doc-002.png"));
  const std::pair<const char*, std::vector<int>> selections[] = {{"4-", {4, 5}}, {"-2", {1, 2}}, {"even", {2, 4}}};
  for (const auto& [pages, expected] : selections) {
    const std::string to = out + "/" + pages;
    ASSERT_EQ(RunCli("--dpi 9 --pages " + std::string(pages) + " -o " + to + " " + pdf).Exit, 0) << pages;
    for (int page = 1; page <= 5; ++page)
      EXPECT_EQ(Exists(to + "/doc/" + std::to_string(page) + ".JPEG"),
                std::find(expected.begin(), expected.end(), page) != expected.end())
          << pages << " page " << page;
  }
  // "-" reads the PDF from standard input into a folder named "stdin".
  r = RunCli("--dpi 9 -o " + out + " - < " + pdf);
  EXPECT_EQ(r.Exit, 0) << r.Out;
  EXPECT_TRUE(Exists(out + "/stdin/5.JPEG"));
  EXPECT_NE(r.Out.find("-: Complete -> " + out + "/stdin"), std::string::npos) << r.Out;
}

TEST(CliRunOptions, OutputFileTakesOnePage) {
  testsupport::TempDir dir;
  const std::string pdf = dir.Write("doc.pdf", testpdf::SimpleDocument(3));
  const std::string target = dir.Path() + "/page two.png";
  RunResult r = RunCli("--format png --dpi 36 --pages 2 --output-file '" + target + "' " + pdf);
  ASSERT_EQ(r.Exit, 0) << r.Out;
  EXPECT_EQ(PngSize(ReadFile(target)), std::make_pair(100, 50));
  EXPECT_FALSE(Exists(dir.Path() + "/doc"));
  // To standard output: the image and nothing else.
  r = RunCli("--format png --dpi 36 --pages 3 --output-file - " + pdf);
  EXPECT_EQ(r.Exit, 0);
  EXPECT_EQ(PngSize(r.Out), std::make_pair(100, 50));
  EXPECT_EQ(r.Err, "");
  // Several pages do not fit in one file: nothing is written.
  r = RunCli("--output-file " + dir.Path() + "/all.jpeg " + pdf);
  EXPECT_EQ(r.Exit, 1);
  EXPECT_NE(r.Err.find("--output-file takes one page, and the document has 3 pages: choose one with --pages"),
            std::string::npos) << r.Err;
  EXPECT_FALSE(Exists(dir.Path() + "/all.jpeg"));
}

TEST(CliRunOptions, SizeBoxQualityAndAnnotations) {
  testsupport::TempDir dir;
  const std::string pdf = dir.Write("boxes.pdf", BoxesAndAnnotation());
  auto size = [&](const std::string& options) {
    const std::string file = dir.Path() + "/p.png";
    const RunResult r = RunCli("--format png " + options + " --output-file " + file + " " + pdf);
    EXPECT_EQ(r.Exit, 0) << options << ": " << r.Out;
    return PngSize(ReadFile(file));
  };
  using P = std::pair<int, int>;
  EXPECT_EQ(size("--dpi 72"), P(100, 100));  // the crop box
  EXPECT_EQ(size("--dpi 72 --box media"), P(200, 100));
  EXPECT_EQ(size("--dpi 72 --box=trim"), P(50, 30));
  EXPECT_EQ(size("--dpi 72 --box bleed"), P(100, 100));  // none: the crop box
  EXPECT_EQ(size("--dpi 72 --box art"), P(20, 100));      // clipped to the media box
  EXPECT_EQ(size("--width 30"), P(30, 30));
  EXPECT_EQ(size("--box media --width 50"), P(50, 25));
  EXPECT_EQ(size("--box media --width 50 --height 10"), P(20, 10));
  EXPECT_EQ(size("--box media --height 33"), P(66, 33));

  const std::string shown = dir.Path() + "/shown.png", hidden = dir.Path() + "/hidden.png";
  ASSERT_EQ(RunCli("--format png --dpi 36 --output-file " + shown + " " + pdf).Exit, 0);
  ASSERT_EQ(RunCli("--format png --dpi 36 --hide-annotations --output-file " + hidden + " " + pdf).Exit, 0);
  const std::string plain = dir.Write("plain.pdf", testpdf::SimpleDocument(1, "0 0 1 rg 0 0 200 100 re f"));
  const std::string blue = dir.Path() + "/blue.png";
  ASSERT_EQ(RunCli("--format png --dpi 36 --box media --output-file " + blue + " " + plain).Exit, 0);
  EXPECT_NE(ReadFile(shown), ReadFile(hidden));
  const std::string hiddenMedia = dir.Path() + "/hidden-media.png";
  ASSERT_EQ(RunCli("--format png --dpi 36 --box media --hide-annotations --output-file " + hiddenMedia + " " + pdf).Exit, 0);
  EXPECT_EQ(ReadFile(hiddenMedia), ReadFile(blue));

  const std::string low = dir.Path() + "/low.jpeg", high = dir.Path() + "/high.jpeg";
  ASSERT_EQ(RunCli("--dpi 72 --jpeg-quality 5 --output-file " + low + " " + pdf).Exit, 0);
  ASSERT_EQ(RunCli("--dpi 72 --jpeg-quality=100 --output-file " + high + " " + pdf).Exit, 0);
  EXPECT_LT(ReadFile(low).size(), ReadFile(high).size());  // the same quality would give the same bytes
}

TEST(CliRunOptions, JsonIsOneObjectPerFile) {
  if (std::system("python3 -c 'import json' 2>/dev/null") != 0) GTEST_SKIP() << "python3 is not installed";
  testsupport::TempDir dir;
  const std::string good = dir.Write("good.pdf", testpdf::SimpleDocument(2));
  dir.Write("bad\nname.pdf", "not a pdf");
  const std::string json = dir.Path() + "/out.json";
  RunResult r = RunCli("--json --dpi 9 -o " + dir.Path() + "/out " + good + " '" + dir.Path() + "/bad\nname.pdf' > " + json);
  EXPECT_EQ(r.Exit, 1);
  // Parsed back by Python's JSON reader: one object per line.
  const std::string summary = dir.Path() + "/summary";
  const std::string script =
      "import json,os,sys\n"
      "for line in open(sys.argv[1]):\n"
      "  o = json.loads(line)\n"
      "  print(os.path.basename(o['path']), o['status'], o['page_count'], [os.path.basename(w['file']) for w in o['written']],"
      " o['reason'], os.path.exists(o['written'][0]['file']) if o['written'] else None)\n";
  const std::string reader = dir.Write("summary.py", script);
  ASSERT_EQ(std::system(("python3 " + reader + " " + json + " > " + summary).c_str()), 0);
  EXPECT_EQ(ReadFile(summary),
            "good.pdf complete 2 ['1.JPEG', '2.JPEG'] None True\n"
            "bad\nname.pdf open-failed 0 [] not a PDF file None\n");
  // The text line escapes the newline in the name instead of breaking the line there.
  EXPECT_NE(r.Err.find("/bad\\nname.pdf: not a PDF file\n"), std::string::npos) << r.Err;
  // Results that cannot be written are a failure.
  EXPECT_NE(RunCli("--json --dpi 9 -o " + dir.Path() + "/out " + good + " > /dev/full").Exit, 0);
}

TEST(CliRunOptions, FilesFromProgressAndSkipExisting) {
  testsupport::TempDir dir;
  const std::string a = dir.Write("a.pdf", testpdf::SimpleDocument(3));
  const std::string b = dir.Write("b.pdf", testpdf::SimpleDocument(1));
  dir.Write("list", a + "\n\n" + b + "\n");
  const std::string out = dir.Path() + "/out";
  RunResult r = RunCli("--progress --dpi 9 -o " + out + " --files-from " + dir.Path() + "/list");
  ASSERT_EQ(r.Exit, 0) << r.Out;
  EXPECT_NE(r.Err.find("a.pdf: page 3 of 3 -> " + out + "/a/3.JPEG\n"), std::string::npos) << r.Err;
  EXPECT_TRUE(Exists(out + "/b/1.JPEG"));
  // A page already there is kept; the others are converted.
  std::ofstream(out + "/a/2.JPEG") << "kept";
  fs::remove(out + "/a/3.JPEG");
  r = RunCli("--skip-existing --json --dpi 9 -o " + out + " --files-from - < " + dir.Path() + "/list");
  EXPECT_EQ(r.Exit, 0) << r.Out;
  EXPECT_EQ(ReadFile(out + "/a/2.JPEG"), "kept");
  EXPECT_TRUE(Exists(out + "/a/3.JPEG"));
  EXPECT_NE(r.Out.find("\"written\":[{\"page\":3,"), std::string::npos) << r.Out;
  // A one-page a.pdf converted into the folder of the three-page one: the old pages 2 and 3
  // are named.
  dir.Write("a.pdf", testpdf::SimpleDocument(1));
  r = RunCli("--dpi 9 -o " + out + " " + a);
  EXPECT_EQ(r.Exit, 0);
  EXPECT_NE(r.Err.find(a + ": " + out + "/a still holds 2 page files this run did not write, from an earlier run: 2.JPEG, 3.JPEG"),
            std::string::npos) << r.Err;
}

TEST(CliRunOptions, InterruptedRunSaysSoAndLeavesNoPartFile) {
  testsupport::TempDir dir;
  const std::string pdf = dir.Write("long.pdf", testpdf::SimpleDocument(400, "0 0 m 200 100 l S"));
  const std::string out = dir.Path() + "/out";
  int errPipe[2];
  ASSERT_EQ(::pipe(errPipe), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::dup2(errPipe[1], 2);
    ::close(errPipe[0]);
    ::execl(PLOVER_CLI_PATH, "plover-cli", "--progress", "--quiet", "--dpi", "600", "-o", out.c_str(), pdf.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(errPipe[1]);
  std::string err;
  char buffer[256];
  bool signalled = false;
  for (ssize_t n; (n = ::read(errPipe[0], buffer, sizeof buffer)) > 0;) {
    err.append(buffer, static_cast<std::size_t>(n));
    if (!signalled && err.find("page 2 of 400") != std::string::npos) {
      ::kill(child, SIGTERM);
      signalled = true;
    }
  }
  ::close(errPipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(signalled) << err;
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;  // the shell's 143
  EXPECT_TRUE(err.ends_with("plover-cli: interrupted\n")) << err;
  for (const auto& entry : fs::directory_iterator(out + "/long"))
    EXPECT_FALSE(entry.path().string().ends_with(".part")) << entry.path();
}

TEST(CliRunOptions, PageMissingAnObjectCompletesDrawnInPart) {
  testsupport::TempDir dir;
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 50 50] /Contents 5 0 R >>");
  b.Object(4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 50 50] /Contents 9 0 R >>");
  b.Stream(5, "", "0 0 1 rg 0 0 50 50 re f");
  b.TrailerEntries("/Root 1 0 R");
  const std::string pdf = dir.Write("holed.pdf", b.Build());
  const std::string out = dir.Path() + "/out";
  RunResult r = RunCli("--dpi 9 --format png -o " + out + " " + pdf);
  EXPECT_EQ(r.Exit, 0) << r.Err;
  EXPECT_NE(r.Err.find("holed.pdf: page 2: object 9 0 R not found\n"), std::string::npos) << r.Err;
  EXPECT_NE(r.Out.find("holed.pdf: Complete (page 2 drawn in part) -> " + out + "/holed\n"), std::string::npos) << r.Out;
  EXPECT_TRUE(Exists(out + "/holed/2.PNG"));
  r = RunCli("--json --dpi 9 --format png -o " + out + " " + pdf);
  EXPECT_NE(r.Out.find("\"partial_pages\":[2],"), std::string::npos) << r.Out;
}
