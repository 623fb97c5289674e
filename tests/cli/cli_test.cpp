#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "cli/cli_options.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

using namespace plover;

namespace {

struct RunResult {
  int Exit = -1;
  std::string Out;
};

RunResult RunCli(const std::string& args) {
  RunResult r;
  std::string cmd = std::string(PLOVER_CLI_PATH) + " " + args + " 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.Out.append(buf.data(), n);
  int status = ::pclose(p);
  r.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace

TEST(CliOptions, PageLists) {
  EXPECT_EQ(*ParsePageList("1-3,7"), (std::vector<int>{1, 2, 3, 7}));
  EXPECT_EQ(*ParsePageList("5"), (std::vector<int>{5}));
  EXPECT_FALSE(ParsePageList("3-1"));
  EXPECT_FALSE(ParsePageList("0"));
  EXPECT_FALSE(ParsePageList("a"));
  EXPECT_FALSE(ParsePageList("1,,2"));
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
  EXPECT_EQ(OutputFolderFor("/d/report.final.pdf", ""), "/d/report.final");
  EXPECT_EQ(OutputFolderFor("/d/x.pdf", "/out"), "/out/x");
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
  RunResult failed = RunCli("--info " + bad);
  EXPECT_EQ(failed.Exit, 1);
  EXPECT_NE(failed.Out.find("BadStructure 409"), std::string::npos) << failed.Out;
}

TEST(CliRun, FailedFileGivesExitOneAndNoFolderLeft) {
  testsupport::TempDir dir;
  std::string bad = dir.Write("bad.pdf", "garbage");
  RunResult r = RunCli("--quiet --output " + dir.Path() + "/out " + bad);
  EXPECT_EQ(r.Exit, 1);
  EXPECT_NE(r.Out.find("Open failed(password?)"), std::string::npos) << r.Out;
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/out/bad"));
}
