#include "cli/file_run.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "app/conversion_job.h"
#include "app/page_file.h"
#include "cli/printable.h"

namespace plover {

namespace fs = std::filesystem;

namespace {

// What stderr says when a signal ends the run while progress is shown: the bar's line is
// ended first.
constexpr char kNoteOnBar[] = " interrupted\n";
constexpr char kNoteAlone[] = "plover-cli: interrupted\n";

// Names of stale files (or numbers of pages drawn in part) listed in a line; the rest are counted.
constexpr std::size_t kStaleNamesShown = 5;

void DrawBar(const std::string& name, int percent) {
  const int width = 30;
  int filled = percent * width / 100;
  std::fprintf(stderr, "\r%-32.32s [%s%s] %3d%%", name.c_str(), std::string(filled, '#').c_str(),
               std::string(width - filled, ' ').c_str(), percent);
  std::fflush(stderr);
}

// One page into exactly the file asked for ("-": standard output).
void WriteOutputFile(const std::string& target, std::string_view bytes) {
  if (target == "-") {
    if (const int error = WriteAll(1, bytes); error != 0)
      throw std::runtime_error(std::string("cannot write to standard output: ") + std::strerror(error));
    return;
  }
  const fs::path path(target);
  const std::string folder = path.parent_path().string();
  WritePageFile(folder.empty() ? "." : folder, path.filename().string(), bytes);
}

const char* StatusWord(int result) {
  return result == kJobComplete ? "complete" : result == kJobFailed ? "failed" : "open-failed";
}

// "page 3 drawn in part", "pages 1, 4 drawn in part", "9 pages drawn in part: 1, 2, 3, 4, 5 and 4 more".
std::string PartialPagesText(std::vector<int> pages) {
  std::sort(pages.begin(), pages.end());
  std::string list;
  for (std::size_t i = 0; i < std::min(pages.size(), kStaleNamesShown); ++i)
    list += (i ? ", " : "") + std::to_string(pages[i]);
  if (pages.size() == 1) return "page " + list + " drawn in part";
  if (pages.size() <= kStaleNamesShown) return "pages " + list + " drawn in part";
  return std::to_string(pages.size()) + " pages drawn in part: " + list + " and " +
         std::to_string(pages.size() - kStaleNamesShown) + " more";
}

std::string JsonList(const std::vector<std::string>& texts) {
  std::string out = "[";
  for (const std::string& text : texts) out += (out.size() > 1 ? "," : "") + JsonString(text);
  return out + "]";
}

std::string JsonInts(std::vector<int> values) {
  std::sort(values.begin(), values.end());
  std::string out = "[";
  for (int v : values) out += (out.size() > 1 ? "," : "") + std::to_string(v);
  return out + "]";
}

}  // namespace

std::string SourcePath(const std::string& file) { return file == "-" ? "/dev/stdin" : file; }

TFileRun::TFileRun(const TCliOptions& options) : o_(options) {
  const bool terminal = ::isatty(2);
  bar_ = terminal && (!o_.Quiet || o_.Progress);
  lines_ = !terminal && o_.Progress;
  if (bar_ || lines_) SetSignalNote(kNoteAlone);
}

void TFileRun::EndBar() {
  if (!barShown_) return;
  std::fputc('\n', stderr);
  barShown_ = false;
  SetSignalNote(kNoteAlone);
}

void TFileRun::Say(const std::string& file, const std::string& text) {
  EndBar();
  std::cerr << Printable(file) << ": " << Printable(text) << std::endl;
}

bool TFileRun::Convert(const std::string& file) {
  const bool toFile = !o_.OutputFile.empty();
  const std::string fileName = file == "-" ? "stdin" : fs::path(file).filename().string();
  const std::string baseName = FolderNameFor(fileName);
  const std::string extension = FormatCaption(o_.FormatIndex);
  std::string folder;
  if (!toFile) {
    const std::string parent =
        !o_.OutputDir.empty() ? o_.OutputDir : file == "-" ? std::string() : fs::path(file).parent_path().string();
    folder = claims_.Claim(parent.empty() ? "." : parent, baseName);
  }
  auto pagePath = [&](int page) { return toFile ? o_.OutputFile : folder + "/" + o_.Name.Expand(page, baseName, extension); };

  TOutcome outcome;
  outcome.Destination = toFile ? o_.OutputFile : folder;
  std::vector<int> failedPages;
  TJobReport report;
  TConvertOptions job;
  job.Dpi = o_.Dpi;
  job.JpegQuality = o_.JpegQuality;
  job.Output = o_.Output;
  job.View = {o_.Box, o_.FitWidth, o_.FitHeight, o_.HideAnnotations};
  job.Pages = o_.Pages;
  job.CreateParents = true;
  job.Report = &report;
  job.PageName = [&](int page) { return o_.Name.Expand(page, baseName, extension); };
  if (toFile) {
    job.WritePage = [&](int, std::string_view bytes) { WriteOutputFile(o_.OutputFile, bytes); };
    job.CheckSelection = [](std::int64_t selected, int pageCount) {
      return selected <= 1 ? std::string()
                           : "--output-file takes one page, and the document has " + std::to_string(pageCount) +
                                 " pages: choose one with --pages";
    };
  }
  if (o_.SkipExisting && o_.OutputFile != "-") {
    job.SkipPage = [&](int page) {
      const std::string path = pagePath(page);
      std::error_code ec;
      if (!fs::is_regular_file(fs::symlink_status(path, ec))) return false;
      outcome.Kept.push_back({page, path});
      if (lines_) Say(file, "page " + std::to_string(page) + " of " + std::to_string(report.PageCount) + " kept: " + path);
      return true;
    };
  }
  job.PageWritten = [&](int page) {
    outcome.Written.push_back({page, pagePath(page)});
    if (lines_)
      Say(file, "page " + std::to_string(page) + " of " + std::to_string(report.PageCount) + " -> " + outcome.Written.back().Path);
  };
  if (bar_) {
    job.Progress = [&](int percent) {
      DrawBar(Printable(fileName), percent);
      barShown_ = true;
      SetSignalNote(kNoteOnBar);
    };
  }
  job.PageFailed = [&](int page, const std::string& problem) {
    const std::string text = page > 0 ? "page " + std::to_string(page) + ": " + problem : problem;
    if (page > 0) failedPages.push_back(page);
    outcome.Errors.push_back(text);
    Say(file, text);
  };
  job.PageNote = [&](int page, const std::string& note) {
    if (page > 0 && std::find(outcome.PartialPages.begin(), outcome.PartialPages.end(), page) == outcome.PartialPages.end())
      outcome.PartialPages.push_back(page);
    outcome.Warnings.push_back("page " + std::to_string(page) + ": " + note);
    Say(file, outcome.Warnings.back());
  };

  outcome.Result = ConvertFileWith(SourcePath(file), o_.Password, extension, o_.FormatIndex, folder, job);
  EndBar();
  if (outcome.Result == kJobOpenFailed) Say(file, report.Reason);
  if (!toFile) {
    // A file that wrote nothing made no folder, and its name is free for the next file.
    if (!report.FolderUsed) claims_.Release(folder);
    if (report.PageCount > 0) WarnStaleFiles(file, folder, baseName, report.PageCount, failedPages, outcome);
  }
  Report(file, report, outcome);
  return outcome.Result == kJobComplete;
}

void TFileRun::WarnStaleFiles(const std::string& file, const std::string& folder, const std::string& baseName, int pageCount,
                              const std::vector<int>& failedPages, TOutcome& outcome) {
  std::error_code ec;
  if (!fs::is_directory(fs::symlink_status(folder, ec))) return;
  const std::string extension = FormatCaption(o_.FormatIndex);
  // Page files named as this run names them, for pages the document does not have or that
  // failed this time: a reader would take them for this document's pages.
  std::vector<std::pair<int, std::string>> stale;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = it->path().filename().string();
    const std::optional<int> page = o_.Name.PageOf(name, baseName, extension);
    if (page && (*page > pageCount || std::find(failedPages.begin(), failedPages.end(), *page) != failedPages.end()))
      stale.emplace_back(*page, name);
  }
  if (stale.empty()) return;
  std::sort(stale.begin(), stale.end());
  std::string names;
  for (std::size_t i = 0; i < std::min(stale.size(), kStaleNamesShown); ++i) names += (i ? ", " : "") + stale[i].second;
  if (stale.size() > kStaleNamesShown) names += " and " + std::to_string(stale.size() - kStaleNamesShown) + " more";
  outcome.Warnings.push_back(folder + " still holds " + std::to_string(stale.size()) +
                             (stale.size() == 1 ? " page file" : " page files") +
                             " this run did not write, from an earlier run: " + names);
  Say(file, outcome.Warnings.back());
}

void TFileRun::Report(const std::string& file, const TJobReport& report, const TOutcome& outcome) {
  const bool wrote = report.FolderUsed || (!o_.OutputFile.empty() && !(outcome.Written.empty() && outcome.Kept.empty()));
  if (o_.Json) {
    auto pages = [](const std::vector<TPageFile>& list) {
      std::string out = "[";
      for (const TPageFile& p : list)
        out += (out.size() > 1 ? "," : "") + std::string("{\"page\":") + std::to_string(p.Page) +
               ",\"file\":" + JsonString(p.Path) + "}";
      return out + "]";
    };
    std::cout << "{\"path\":" << JsonString(file) << ",\"status\":\"" << StatusWord(outcome.Result)
              << "\",\"output\":" << (wrote ? JsonString(outcome.Destination) : "null")
              << ",\"page_count\":" << report.PageCount << ",\"written\":" << pages(outcome.Written)
              << ",\"kept\":" << pages(outcome.Kept)
              << ",\"reason\":" << (report.Reason.empty() ? "null" : JsonString(report.Reason))
              << ",\"partial_pages\":" << JsonInts(outcome.PartialPages)
              << ",\"errors\":" << JsonList(outcome.Errors) << ",\"warnings\":" << JsonList(outcome.Warnings) << "}\n";
    return;
  }
  if (o_.Quiet || o_.OutputFile == "-") return;
  std::cout << Printable(file) << ": " << StatusText(1, outcome.Result);
  // A file that completed with pages missing content says so on its status line too, so a
  // summary read from stdout alone does not take it for a sound conversion.
  if (!outcome.PartialPages.empty()) std::cout << " (" << PartialPagesText(outcome.PartialPages) << ")";
  if (wrote) std::cout << " -> " << Printable(outcome.Destination);
  std::cout << "\n";
}

}  // namespace plover
