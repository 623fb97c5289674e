#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/cli_options.h"
#include "cli/run_cli.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

using namespace plover;

using plovertest::RunCli;
using plovertest::RunResult;

TEST(CliOptions, PageLists) {
  using R = std::vector<TPageRange>;
  EXPECT_EQ(*ParsePageList("1-3,7"), (R{{1, 3}, {7, 7}}));
  EXPECT_EQ(*ParsePageList("5"), (R{{5, 5}}));
  // Kept as ranges: a million pages (or two billion) cost nothing to parse.
  EXPECT_EQ(*ParsePageList("1-1000000,4,999-2000000000"), (R{{1, 2000000000}}));
  EXPECT_EQ(*ParsePageList("9,2-3,4"), (R{{2, 4}, {9, 9}}));
  const std::pair<const char*, const char*> bad[] = {
      {"3-1", "range 3-1 runs backwards"},
      {"0", "page 0 does not exist: pages count from 1"},
      {"a", "\"a\" is not a page number"},
      {"1,,2", "empty entry in the page list \"1,,2\""},
      {"99999999999", "\"99999999999\" is not a page number"},
  };
  for (const auto& [text, why] : bad) {
    std::string error;
    EXPECT_FALSE(ParsePageList(text, &error)) << text;
    EXPECT_EQ(error, why);
  }
}

TEST(CliOptions, UnknownOptionSuggestsTheNearest) {
  EXPECT_EQ(NearestOption("--fromat"), "--format");
  EXPECT_EQ(NearestOption("-output"), "--output");
  EXPECT_EQ(NearestOption("--pgaes"), "--pages");
  EXPECT_EQ(NearestOption("--xyzzy"), "");
  std::string error;
  EXPECT_FALSE(ParseCliOptions({"--scael", "50", "a.pdf"}, error));
  EXPECT_EQ(error, "unknown option: --scael (did you mean --scale?)");
}

TEST(CliOptions, FormatsScaleAndFolders) {
  std::string error;
  auto o = ParseCliOptions({"--format", "png", "--scale", "200", "a.pdf"}, error);
  ASSERT_TRUE(o);
  EXPECT_EQ(o->FormatIndex, 5);
  EXPECT_EQ(o->Dpi, 192);
  EXPECT_FALSE(ParseCliOptions({"--scale", "110", "a.pdf"}, error));
  EXPECT_FALSE(ParseCliOptions({"--format", "xyz", "a.pdf"}, error));
  EXPECT_FALSE(ParseCliOptions({}, error));
  EXPECT_EQ(ParseCliOptions({"a.pdf"}, error)->FormatIndex, 1);

  o = ParseCliOptions({"--format", "WebP", "--colour", "mono", "--transparent", "--tiff-compression",
                       "g4", "--webp-quality", "80", "a.pdf"}, error);
  ASSERT_TRUE(o);
  EXPECT_EQ(std::string(FormatCaption(o->FormatIndex)), "WEBP");
  EXPECT_EQ(o->Output.Colour, kestrel::TColourMode::kMono);
  EXPECT_TRUE(o->Output.Transparent);
  EXPECT_EQ(o->Output.TIFFCompression, kestrel::TTIFFCompression::kG4);
  EXPECT_EQ(o->Output.WebPQuality, 80);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--colour", "cmyk"}, {"--tiff-compression", "jpeg"}, {"--webp-quality", "101"},
        {"--format", "emf+"}}) {
    std::vector<std::string> args = bad;
    args.push_back("a.pdf");
    EXPECT_FALSE(ParseCliOptions(args, error)) << bad[0] << " " << bad[1];
  }
}

TEST(CliRun, UsageAndInfo) {
  EXPECT_EQ(RunCli("--help").Exit, 0);
  EXPECT_EQ(RunCli("").Exit, 2);
  EXPECT_EQ(RunCli("--scale 7 x.pdf").Exit, 2);
  testsupport::TempDir dir;
  std::string good = dir.Write("good.pdf", testpdf::SimpleDocument(4));
  std::string bad = dir.Write("bad.pdf", "%PDF-1.4 nothing else");
  RunResult info = RunCli("--info " + good);
  EXPECT_EQ(info.Exit, 0);
  EXPECT_NE(info.Out.find("pages 4"), std::string::npos) << info.Out;
  EXPECT_NE(info.Out.find("version 1.7"), std::string::npos) << info.Out;
  EXPECT_NE(info.Out.find("page 1 200 x 100 pt"), std::string::npos) << info.Out;
  // Errors go to stderr with status 1, and say which error it is.
  RunResult failed = RunCli("--info " + bad + " " + dir.Path() + "/missing.pdf " + dir.Path());
  EXPECT_EQ(failed.Exit, 1);
  EXPECT_EQ(failed.Err, failed.Out);
  EXPECT_NE(failed.Err.find("bad.pdf: damaged file: "), std::string::npos) << failed.Err;
  EXPECT_NE(failed.Err.find("missing.pdf: no such file"), std::string::npos) << failed.Err;
  EXPECT_NE(failed.Err.find(": not a PDF file (a folder)"), std::string::npos) << failed.Err;
  RunResult version = RunCli("--version");
  EXPECT_EQ(version.Exit, 0);
  EXPECT_EQ(version.Out, "plover-cli 3.6.1\n");
}

TEST(CliRun, SameNamedFilesAndDotNamesStayApartAndInside) {
  testsupport::TempDir dir;
  std::filesystem::create_directories(dir.Path() + "/a");
  std::filesystem::create_directories(dir.Path() + "/b");
  std::filesystem::create_directories(dir.Path() + "/top/out");
  std::string a = dir.Write("a/report.pdf", testpdf::SimpleDocument(3));
  std::string b = dir.Write("b/report.pdf", testpdf::SimpleDocument(1));
  std::string dots = dir.Write("...pdf", testpdf::SimpleDocument(1));
  std::string dot = dir.Write("..pdf", testpdf::SimpleDocument(1));
  const std::string out = dir.Path() + "/top/out";
  RunResult r = RunCli("--format png --scale 25 --output " + out + " " + a + " " + b + " " + dots + " " + dot);
  EXPECT_EQ(r.Exit, 0) << r.Out;
  namespace fs = std::filesystem;
  EXPECT_TRUE(fs::exists(out + "/report/3.PNG"));
  EXPECT_TRUE(fs::exists(out + "/report (2)/1.PNG"));
  EXPECT_FALSE(fs::exists(out + "/report (2)/2.PNG"));
  EXPECT_NE(r.Out.find(b + ": Complete -> " + out + "/report (2)"), std::string::npos) << r.Out;
  EXPECT_TRUE(fs::exists(out + "/...pdf/1.PNG"));
  EXPECT_TRUE(fs::exists(out + "/..pdf/1.PNG"));
  EXPECT_FALSE(fs::exists(out + "/1.PNG"));
  EXPECT_FALSE(fs::exists(dir.Path() + "/top/1.PNG"));
}

TEST(CliRun, FailedFileGivesExitOneAndNoFolderLeft) {
  testsupport::TempDir dir;
  std::string bad = dir.Write("bad.pdf", "garbage");
  RunResult r = RunCli("--quiet --output " + dir.Path() + "/out " + bad);
  EXPECT_EQ(r.Exit, 1);
  EXPECT_NE(r.Err.find("bad.pdf: not a PDF file"), std::string::npos) << r.Err;
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/out/bad"));
  // A file that makes no folder is not said to have gone to one.
  RunResult loud = RunCli("--output " + dir.Path() + "/out " + bad);
  EXPECT_NE(loud.Out.find("bad.pdf: Open failed(password?)\n"), std::string::npos) << loud.Out;
  EXPECT_EQ(loud.Out.find("->"), std::string::npos) << loud.Out;
}

TEST(CliRun, WrongPasswordIsNamed) {
  if (std::system("qpdf --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "qpdf is not installed";
  testsupport::TempDir dir;
  std::string plain = dir.Write("plain.pdf", testpdf::SimpleDocument(1));
  const std::string locked = dir.Path() + "/locked.pdf";
  ASSERT_EQ(std::system(("qpdf --encrypt secret owner 256 -- " + plain + " " + locked).c_str()), 0);
  RunResult r = RunCli("--info --password wrong " + locked);
  EXPECT_EQ(r.Exit, 1);
  EXPECT_NE(r.Err.find("locked.pdf: wrong password"), std::string::npos) << r.Err;
  EXPECT_EQ(RunCli("--info --password secret " + locked).Exit, 0);
}

// Several workers print what one prints: each file's page lines, errors and JSON object
// together and in input order, kept pages as kept, the same exit status.
TEST(CliRun, JobsGiveWhatOneJobGives) {
  std::string error;
  EXPECT_EQ(ParseCliOptions({"--jobs", "3", "a.pdf"}, error)->Jobs, 3);
  EXPECT_EQ(ParseCliOptions({"a.pdf"}, error)->Jobs, 0);  // one worker per core
  EXPECT_EQ(RunCli("--jobs 0 a.pdf").Exit, 2);
  testsupport::TempDir dir;
  std::string files;
  for (int i = 0; i < 4; ++i) {
    files += " " + dir.Write("doc" + std::to_string(i) + ".pdf", testpdf::SimpleDocument(2 + i));
    files += " " + dir.Write("bad" + std::to_string(i) + ".pdf", "%PDF-1.4\nbroken");
  }
  // Pages past the end of the smaller files are named once per file; the second run keeps them all.
  auto run = [&](const std::string& jobs, const std::string& more) {
    const std::string out = dir.Path() + "/out" + jobs;
    RunResult r = RunCli("--format png --scale 25 --pages 1-9 --progress --json --jobs " + jobs + more + " --output " +
                         out + files);
    for (std::size_t at; (at = r.Out.find(out)) != std::string::npos;) r.Out.replace(at, out.size(), "OUT");
    return std::make_pair(r.Exit, r.Out);
  };
  const auto one = run("1", "");
  EXPECT_EQ(one.first, 1);
  EXPECT_NE(one.second.find("doc1.pdf: page 3 of 3 -> OUT/doc1/3.PNG\n"), std::string::npos) << one.second;
  EXPECT_NE(one.second.find("doc1.pdf: pages 4-9 do not exist: the document has 3 pages\n"), std::string::npos);
  EXPECT_NE(one.second.find("bad2.pdf: damaged file: "), std::string::npos);
  EXPECT_EQ(run("3", ""), one);
  const auto kept = run("1", " --skip-existing");
  EXPECT_NE(kept.second.find("doc3.pdf: page 5 of 5 kept: OUT/doc3/5.PNG\n"), std::string::npos) << kept.second;
  EXPECT_EQ(run("3", " --skip-existing"), kept);
}
