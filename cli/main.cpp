// plover-cli: the command-line face of the conversion job.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "app/conversion_job.h"
#include "app/convert_plan.h"
#include "app/page_file.h"
#include "app/version.h"
#include "cli/cli_options.h"
#include "engine/kestrel.h"

using namespace plover;

namespace {

std::string Points(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

// One line on stdout for a file that opens; the reason on stderr and exit status 1 otherwise.
void PrintInfo(const std::string& path, const TCliOptions& o, int& exitCode) {
  std::string bytes;
  TJobReport report;
  try {
    bytes = ReadWholeFile(path);
  } catch (const std::exception&) {
    DescribeUnreadable(path, report);
    std::cerr << path << ": " << report.Reason << "\n";
    exitCode = 1;
    return;
  }
  kestrel::TKestrel0725 engine;
  kestrel::TSmartPDFLink* link = engine.OpenDocument(bytes, o.Password);
  if (!link) {
    DescribeOpenFailure(bytes, engine.LastErrorCode, engine.LastErrorText, report);
    std::cerr << path << ": " << report.Reason << "\n";
    exitCode = 1;
    return;
  }
  const std::string& version = link->Reader()->Version();
  std::cout << path << ": version " << (version.empty() ? "?" : version) << ", encryption "
            << link->Info()->Describe() << ", pages " << engine.GetPageCount(link);
  if (link->Repaired()) std::cout << ", repaired (" << link->RepairReason() << ")";
  double width = 0, height = 0;
  if (engine.PageSizeInPoints(link, 1, width, height))
    std::cout << ", page 1 " << Points(width) << " x " << Points(height) << " pt";
  std::cout << "\n";
}

void DrawBar(const std::string& name, int percent) {
  const int width = 30;
  int filled = percent * width / 100;
  std::fprintf(stderr, "\r%-32.32s [%s%s] %3d%%", name.c_str(), std::string(filled, '#').c_str(),
               std::string(width - filled, ' ').c_str(), percent);
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  auto options = ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::cerr << "plover-cli: " << error << "\nRun plover-cli --help for the options.\n";
    return 2;
  }
  const TCliOptions& o = *options;
  if (o.Help) {
    std::cout << kUsage;
    return 0;
  }
  if (o.Version) {
    std::cout << "plover-cli " << kVersionText << "\n";
    return 0;
  }
  int exitCode = 0;
  if (o.Info) {
    for (const auto& f : o.Files) PrintInfo(f, o, exitCode);
    return exitCode;
  }
  RemovePartFilesOnSignals();
  const bool bar = !o.Quiet && ::isatty(2);
  TFolderClaims claims;
  for (const auto& file : o.Files) {
    const std::filesystem::path source(file);
    const std::string name = source.filename().string();
    const std::string parent = o.OutputDir.empty() ? source.parent_path().string() : o.OutputDir;
    const std::string folder = claims.Claim(parent.empty() ? "." : parent, FolderNameFor(name));
    TConvertOptions job;
    job.Dpi = o.Dpi;
    job.Pages = o.Pages;
    job.CreateParents = true;
    TJobReport report;
    job.Report = &report;
    bool barShown = false;
    if (bar) job.Progress = [&](int p) {
      DrawBar(name, p);
      barShown = true;
    };
    auto say = [&](const std::string& text) {
      if (barShown) std::fputc('\n', stderr);
      barShown = false;
      std::cerr << file << ": " << text << "\n";
    };
    job.PageFailed = [&](int page, const std::string& problem) {
      say(page > 0 ? "page " + std::to_string(page) + ": " + problem : problem);
    };
    job.PageNote = [&](int page, const std::string& note) { say("page " + std::to_string(page) + ": " + note); };
    const int result = ConvertFileWith(file, o.Password, kFormatCaptions[o.FormatIndex], o.FormatIndex, folder, job);
    if (barShown) std::fputc('\n', stderr);
    if (result == kJobOpenFailed) say(report.Reason);
    // A file that wrote nothing made no folder, and its name is free for the next file.
    if (!report.FolderUsed) claims.Release(folder);
    if (result != kJobComplete) exitCode = 1;
    if (!o.Quiet) {
      std::cout << file << ": " << StatusText(1, result);
      if (report.FolderUsed) std::cout << " -> " << folder;
      std::cout << "\n";
    }
  }
  return exitCode;
}
