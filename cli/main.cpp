// plover-cli: the command-line face of the conversion job.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "app/conversion_job.h"
#include "cli/cli_options.h"
#include "engine/kestrel.h"

using namespace plover;

namespace {

void PrintInfo(const std::string& path, const TCliOptions& o, int& exitCode) {
  std::string bytes;
  try {
    bytes = ReadWholeFile(path);
  } catch (const std::exception& e) {
    std::cout << path << ": error: " << e.what() << "\n";
    exitCode = 1;
    return;
  }
  kestrel::TSmartPDFLink link(bytes, o.Password);
  std::cout << path << ":";
  if (kestrel::TSmartPDFReader* reader = link.Reader())
    std::cout << " version " << (reader->Version().empty() ? "?" : reader->Version());
  if (kestrel::TSmartPDFInfo* info = link.Info()) std::cout << ", encryption " << info->Describe();
  if (!link.Okay()) {
    std::string word = link.OpenProblem().empty() ? "UnsupportedEncryption" : link.OpenProblem();
    std::cout << " failed: " << word << " " << kestrel::OpenProblemCode(word) << "\n";
    exitCode = 1;
    return;
  }
  std::cout << ", pages " << link.Document()->GetPageCount() << "\n";
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
    std::cerr << "plover-cli: " << error << "\n" << kUsage;
    return 2;
  }
  const TCliOptions& o = *options;
  if (o.Help) {
    std::cout << kUsage;
    return 0;
  }
  int exitCode = 0;
  if (o.Info) {
    for (const auto& f : o.Files) PrintInfo(f, o, exitCode);
    return exitCode;
  }
  const bool bar = !o.Quiet && ::isatty(2);
  for (const auto& file : o.Files) {
    const std::string folder = OutputFolderFor(file, o.OutputDir);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
      std::cerr << file << ": cannot create " << folder << ": " << ec.message() << "\n";
      exitCode = 1;
      continue;
    }
    TConvertOptions job;
    job.Dpi = o.Dpi;
    job.Pages = o.Pages;
    std::string openError;
    job.OpenError = &openError;
    std::string name = std::filesystem::path(file).filename().string();
    if (bar) job.Progress = [&](int p) { DrawBar(name, p); };
    job.PageFailed = [&](int page, const std::string& problem) {
      if (bar) std::fputc('\n', stderr);
      if (page > 0)
        std::cerr << file << ": page " << page << ": " << problem << "\n";
      else
        std::cerr << file << ": " << problem << "\n";
    };
    const int result = ConvertFileWith(file, o.Password, kFormatCaptions[o.FormatIndex], o.FormatIndex, folder, job);
    if (bar) std::fputc('\n', stderr);
    if (result == kJobOpenFailed) {
      std::cerr << file << ": " << StatusText(1, result) << (openError.empty() ? "" : ": " + openError) << "\n";
      // An empty folder made for a file that never opened is removed again.
      std::filesystem::remove(folder, ec);
    }
    if (result != kJobComplete) exitCode = 1;
    if (!o.Quiet) std::cout << file << ": " << StatusText(1, result) << " -> " << folder << "\n";
  }
  return exitCode;
}
