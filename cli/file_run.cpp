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

std::string TFileRun::PagePath(const TFileState& state, int page) const {
  return !o_.OutputFile.empty() ? o_.OutputFile
                                : state.Folder + "/" + o_.Name.Expand(page, state.BaseName, FormatCaption(o_.FormatIndex));
}

TBatchFile TFileRun::Prepare(TFileState& state) {
  const std::string& file = state.File;
  const bool toFile = !o_.OutputFile.empty();
  const std::string fileName = file == "-" ? "stdin" : fs::path(file).filename().string();
  state.BaseName = FolderNameFor(fileName);
  const std::string extension = FormatCaption(o_.FormatIndex);
  TBatchFile batchFile;
  batchFile.Source = SourcePath(file);
  batchFile.Password = o_.Password;
  if (!toFile) {
    const std::string parent =
        !o_.OutputDir.empty() ? o_.OutputDir : file == "-" ? std::string() : fs::path(file).parent_path().string();
    batchFile.ClaimParent = parent.empty() ? "." : parent;
    batchFile.ClaimName = state.BaseName;
  }
  TConvertOptions& job = batchFile.Options;
  job.Dpi = o_.Dpi;
  job.JpegQuality = o_.JpegQuality;
  job.Output = o_.Output;
  job.View = {o_.Box, o_.FitWidth, o_.FitHeight, o_.HideAnnotations};
  job.Pages = o_.Pages;
  job.CreateParents = true;
  job.Report = &state.Report;
  // Called on the workers: they read only what does not change during the run.
  job.PageName = [this, baseName = state.BaseName, extension](int page) { return o_.Name.Expand(page, baseName, extension); };
  if (toFile) {
    job.WritePage = [this](int, std::string_view bytes) { WriteOutputFile(o_.OutputFile, bytes); };
    job.CheckSelection = [](std::int64_t selected, int pageCount) {
      return selected <= 1 ? std::string()
                           : "--output-file takes one page, and the document has " + std::to_string(pageCount) +
                                 " pages: choose one with --pages";
    };
  }
  if (o_.SkipExisting && o_.OutputFile != "-") {
    job.SkipPage = [this, baseName = state.BaseName, extension](const std::string& folder, int page) {
      const std::string path =
          !o_.OutputFile.empty() ? o_.OutputFile : folder + "/" + o_.Name.Expand(page, baseName, extension);
      std::error_code ec;
      return fs::is_regular_file(fs::symlink_status(path, ec));
    };
  }
  // Called on this thread, page by page in order.
  job.PageKept = [this, &state](int page) {
    state.Outcome.Kept.push_back({page, PagePath(state, page)});
    if (lines_)
      Say(state.File, "page " + std::to_string(page) + " of " + std::to_string(state.Report.PageCount) +
                          " kept: " + state.Outcome.Kept.back().Path);
  };
  job.PageWritten = [this, &state](int page) {
    state.Outcome.Written.push_back({page, PagePath(state, page)});
    if (lines_)
      Say(state.File, "page " + std::to_string(page) + " of " + std::to_string(state.Report.PageCount) + " -> " +
                          state.Outcome.Written.back().Path);
  };
  if (bar_) {
    job.Progress = [this, fileName](int percent) {
      DrawBar(Printable(fileName), percent);
      barShown_ = true;
      SetSignalNote(kNoteOnBar);
    };
  }
  job.PageFailed = [this, &state](int page, const std::string& problem) {
    const std::string text = page > 0 ? "page " + std::to_string(page) + ": " + problem : problem;
    if (page > 0) state.FailedPages.push_back(page);
    state.Outcome.Errors.push_back(text);
    Say(state.File, text);
  };
  job.PageNote = [this, &state](int page, const std::string& note) {
    std::vector<int>& partial = state.Outcome.PartialPages;
    if (page > 0 && std::find(partial.begin(), partial.end(), page) == partial.end()) partial.push_back(page);
    state.Outcome.Warnings.push_back(page > 0 ? "page " + std::to_string(page) + ": " + note : note);
    Say(state.File, state.Outcome.Warnings.back());
  };
  return batchFile;
}

bool TFileRun::Convert(const std::vector<std::string>& files) {
  // Each file's state stays in place while the workers run: its callbacks point into it.
  std::vector<TFileState> states(files.size());
  std::vector<TBatchFile> batchFiles;
  for (std::size_t i = 0; i < files.size(); ++i) {
    states[i].File = files[i];
    batchFiles.push_back(Prepare(states[i]));
  }
  TFolderClaims claims;
  TBatch batch;
  batch.Extension = FormatCaption(o_.FormatIndex);
  batch.FormatIndex = o_.FormatIndex;
  batch.Jobs = o_.Jobs > 0 ? o_.Jobs : AvailableCores();
  if (o_.OutputFile.empty()) batch.Claims = &claims;
  bool complete = true;
  batch.Started = [&](std::size_t i, const std::string& folder) {
    states[i].Folder = folder;
    states[i].Outcome.Destination = o_.OutputFile.empty() ? folder : o_.OutputFile;
  };
  batch.Finished = [&](std::size_t i, int result, const TJobReport&) {
    states[i].Outcome.Result = result;
    if (!Finish(states[i])) complete = false;
  };
  ConvertFiles(batchFiles, batch);
  return complete;
}

bool TFileRun::Finish(TFileState& state) {
  const TJobReport& report = state.Report;
  TOutcome& outcome = state.Outcome;
  EndBar();
  if (outcome.Result == kJobOpenFailed) Say(state.File, report.Reason);
  if (o_.OutputFile.empty() && report.PageCount > 0)
    WarnStaleFiles(state.File, state.Folder, state.BaseName, report.PageCount, state.FailedPages, outcome);
  Report(state.File, report, outcome);
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
