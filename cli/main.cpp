// plover-cli: the command-line face of the conversion job.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/conversion_job.h"
#include "app/page_file.h"
#include "app/parallel_convert.h"
#include "app/version.h"
#include "cli/cli_options.h"
#include "cli/file_run.h"
#include "cli/printable.h"
#include "engine/kestrel.h"

using namespace plover;

namespace {

std::string Points(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

// One line (or JSON object) on stdout for a file that opens; the reason on stderr and exit
// status 1 otherwise.
void PrintInfo(const std::string& file, const TCliOptions& o, int& exitCode) {
  const std::string path = SourcePath(file);
  TJobReport report;
  auto failed = [&] {
    std::cerr << Printable(file) << ": " << report.Reason << "\n";
    if (o.Json)
      std::cout << "{\"path\":" << JsonString(file) << ",\"status\":\"failed\",\"reason\":" << JsonString(report.Reason)
                << "}\n";
    exitCode = 1;
  };
  auto bytes = MapInput(path, report);
  if (!bytes) return failed();
  kestrel::TKestrel0725 engine;
  kestrel::TSmartPDFLink* link = engine.OpenDocument(bytes, o.Password);
  if (!link) {
    DescribeOpenFailure(bytes->View(), engine.LastErrorCode, engine.LastErrorText, report);
    return failed();
  }
  const std::string& version = link->Reader()->Version();
  const std::string encryption = link->Info()->Describe();
  const int pages = engine.GetPageCount(link);
  if (const std::string& note = link->Document()->PageCountNote(); !note.empty())
    std::cerr << Printable(file) << ": " << note << "\n";
  double width = 0, height = 0;
  const bool sized = engine.PageSizeInPoints(link, 1, width, height);
  if (o.Json) {
    std::cout << "{\"path\":" << JsonString(file) << ",\"status\":\"ok\",\"version\":" << JsonString(version)
              << ",\"encryption\":" << JsonString(encryption) << ",\"pages\":" << pages;
    if (link->Repaired()) std::cout << ",\"repaired\":" << JsonString(link->RepairReason());
    if (sized) std::cout << ",\"page_size\":[" << Points(width) << "," << Points(height) << "]";
    std::cout << "}\n";
    return;
  }
  std::cout << Printable(file) << ": version " << (version.empty() ? "?" : version) << ", encryption " << encryption
            << ", pages " << pages;
  if (link->Repaired()) std::cout << ", repaired (" << link->RepairReason() << ")";
  if (sized) std::cout << ", page 1 " << Points(width) << " x " << Points(height) << " pt";
  std::cout << "\n";
}

// The PDF paths of --files-from, one a line (blank lines skipped); nullopt when unreadable.
std::optional<std::vector<std::string>> ReadFileList(const std::string& list, std::string& error) {
  std::ifstream file;
  if (list != "-") {
    file.open(list);
    if (!file) {
      error = "--files-from: cannot read " + list + ": " + std::strerror(errno);
      return std::nullopt;
    }
  }
  std::istream& in = list == "-" ? std::cin : file;
  std::vector<std::string> files;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) files.push_back(line);
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  auto options = ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (options && !options->FilesFrom.empty()) {
    if (auto listed = ReadFileList(options->FilesFrom, error)) {
      options->Files.insert(options->Files.end(), listed->begin(), listed->end());
      if (options->Files.empty()) error = "--files-from: the list names no file";
    }
    if (!error.empty()) options.reset();
  }
  if (!options) {
    std::cerr << "plover-cli: " << Printable(error) << "\nRun plover-cli --help for the options.\n";
    return 2;
  }
  const TCliOptions& o = *options;
  int exitCode = 0;
  if (o.Help) {
    std::cout << kUsage;
  } else if (o.Version) {
    std::cout << "plover-cli " << kVersionText << "\n";
  } else if (o.Info) {
    for (const auto& f : o.Files) PrintInfo(f, o, exitCode);
  } else {
    RemovePartFilesOnSignals();
    ReusePageMemory();
    if (!TFileRun(o).Convert(o.Files)) exitCode = 1;
  }
  // Results that did not reach stdout (a full disk, a closed pipe) are a failure too.
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::cerr << "plover-cli: cannot write to standard output: " << std::strerror(errno ? errno : EIO) << "\n";
    return exitCode == 0 ? 1 : exitCode;
  }
  return exitCode;
}
